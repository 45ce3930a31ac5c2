// Parses 100,000 generated Unix listing lines, shaped as vsftpd and pyftpdlib
// write them, and prints the median rate of several runs:
//   listing_parse: 2734000 lines/s
// The time is the thread's CPU time: the parser runs on one thread, and the
// number should not depend on what else the machine is doing.
#include "listingparser.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kLineCount = 100000;
constexpr int kRuns = 7;

const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

const QStringList kWords = {u"backup"_s, u"Bericht"_s, u"Größe"_s,        u"release"_s,
                            u"IMG"_s,    u"notes"_s,   u"Übersicht"_s,    u"data set"_s,
                            u"linux"_s,  u"Musik"_s,   u"projekt_2024"_s, u"a b c"_s};
const QStringList kExtensions = {u".txt"_s, u".tar.gz"_s, u".jpg"_s, u".iso"_s, u".pdf"_s, u""_s};

QString RandomName(QRandomGenerator &random)
{
    QString name = kWords[random.bounded(int(kWords.size()))];
    if (random.bounded(2) == 0)
        name += u'-' + QString::number(random.bounded(1000));
    return name + kExtensions[random.bounded(int(kExtensions.size()))];
}

// Sizes from empty files to multi-gigabyte images.
qint64 RandomSize(QRandomGenerator &random)
{
    const int digits = random.bounded(1, 12);
    qint64 size = 1;
    for (int i = 1; i < digits; ++i)
        size *= 10;
    return size + random.bounded(qint64(9) * size);
}

// Half the lines from the last six months ("Mon DD HH:MM"), half older
// ("Mon DD  YYYY").
QString RandomDate(QRandomGenerator &random, const QDate &today)
{
    const bool recent = random.bounded(2) == 0;
    const QDate date = today.addDays(-random.bounded(recent ? 180 : 7000));
    const QString monthDay = QString::asprintf("%s %02d", kMonths[date.month() - 1], date.day());
    if (recent)
        return monthDay + QString::asprintf(" %02d:%02d", random.bounded(24), random.bounded(60));
    return monthDay + QString::asprintf("  %d", date.year());
}

QString RandomLine(QRandomGenerator &random, const QDate &today)
{
    const int kind = random.bounded(10); // 7 files, 2 folders, 1 link
    const QString name = RandomName(random);
    const QString date = RandomDate(random, today);
    const bool vsftpd = random.bounded(2) == 0;
    const QString owner = vsftpd ? u"0"_s : u"ftpuser"_s;
    const char *permissions = kind < 7 ? "-rw-r--r--" : kind < 9 ? "drwxr-xr-x" : "lrwxrwxrwx";
    const qint64 size = kind < 7 ? RandomSize(random) : kind < 9 ? 4096 : name.size();
    QString line = vsftpd ? QString::asprintf("%s    1 %-8s %-8s %12lld ", permissions, qPrintable(owner),
                                              qPrintable(owner), size)
                          : QString::asprintf("%s   1 %-8s %-8s %8lld ", permissions, qPrintable(owner),
                                              qPrintable(owner), size);
    line += date + u' ' + name;
    if (kind == 9)
        line += u" -> "_s + RandomName(random);
    return line;
}

double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    QRandomGenerator random(42);
    const QDate today = QDate::currentDate();
    std::vector<QString> lines;
    lines.reserve(kLineCount);
    for (int i = 0; i < kLineCount; ++i)
        lines.push_back(RandomLine(random, today));

    const TimeCorrection automatic; // the default: the local zone with summer time
    std::vector<double> rates;
    for (int run = 0; run < kRuns; ++run) {
        int accepted = 0;
        const double start = ThreadSeconds();
        for (const QString &line : lines)
            accepted += ParseListingLine(line, automatic, false).accepted ? 1 : 0;
        const double seconds = ThreadSeconds() - start;
        if (accepted != kLineCount) {
            std::fprintf(stderr, "listing_parse: only %d of %d lines accepted\n", accepted, kLineCount);
            return 1;
        }
        rates.push_back(kLineCount / seconds);
    }
    std::sort(rates.begin(), rates.end());
    std::printf("listing_parse: %lld lines/s\n", static_cast<long long>(rates[rates.size() / 2]));
    return 0;
}
