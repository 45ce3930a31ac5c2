#include "idexceptions.h"
#include "textcodec.h"
#include "tidftp.h"

#include <QBuffer>
#include <QDateTime>
#include <QRegularExpression>
#include <QScopeGuard>

using namespace Qt::StringLiterals;

namespace {

// Splits at CR LF, LF or CR; a line end at the very end gives no empty line.
QStringList SplitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

// Holds a listing in memory up to a limit; a write beyond it fails, which
// stops the transfer.
class ListingBuffer : public QBuffer {
public:
    explicit ListingBuffer(qint64 limit)
        : m_limit(limit)
    {
        open(QIODevice::WriteOnly);
    }

    bool Overflowed() const { return m_overflowed; }

protected:
    qint64 writeData(const char *data, qint64 size) override
    {
        if (buffer().size() + size > m_limit) {
            m_overflowed = true;
            return -1;
        }
        return QBuffer::writeData(data, size);
    }

private:
    qint64 m_limit;
    bool m_overflowed = false;
};

// 257 "/a""b" is current: gives /a"b.
QString QuotedPathOf(const QString &line)
{
    qsizetype position = line.indexOf(u'"');
    if (position < 0)
        return {};
    QString path;
    for (++position; position < line.size(); ++position) {
        if (line.at(position) != u'"') {
            path += line.at(position);
        } else if (position + 1 < line.size() && line.at(position + 1) == u'"') {
            path += u'"';
            ++position;
        } else {
            return path;
        }
    }
    return {};
}

} // namespace

// --- listings ----------------------------------------------------------------

// A listing that did not come to its end (refused, broken off, cancelled)
// gives no lines: a part of a folder must not pass for all of it.
QStringList TIdFTP::ReceiveListing(const QString &command, bool listingVariant)
{
    ListingBuffer buffer(MaxListingSize);
    bool complete = false;
    try {
        complete = ReceiveData(command.trimmed(), buffer, listingVariant);
    } catch (const EIdException &) {
        if (buffer.Overflowed())
            throw EIdListingTooLarge(MaxListingSize);
        throw;
    }
    if (!complete)
        return {};
    const QByteArray &bytes = buffer.data();
    // Names that are no UTF-8 come from a server that stores them in an
    // 8-bit code page; the rest of the session speaks that.
    if (Encoding == NameEncoding::Utf8 && !TextCodec::IsValidUtf8(bytes))
        Encoding = NameEncoding::Windows1252;
    return SplitLines(DecodeText(bytes));
}

void TIdFTP::List(QStringList &target, const QString &specifier, bool details)
{
    if (!IsAlive())
        return;
    SetTransferType(ftASCII);
    target = ReceiveListing((details ? u"list "_s : u"nlst "_s) + specifier, false);
}

void TIdFTP::ListFacts(QStringList &target, const QString &specifier)
{
    if (!IsAlive())
        return;
    target = ReceiveListing(u"MLSD "_s + specifier, true);
}

// --- feature probe -------------------------------------------------------------

// HELP lists commands, FEAT extensions; many servers name MLSD, MFMT or UTF8
// only in FEAT, some name PASV only in HELP, so both are asked.
void TIdFTP::ProbeFeatures(QStringList &features)
{
    features.clear();
    if (!IsAlive())
        return;
    // Without a passive command in the list the server gets active
    // connections, also when reading the list failed.
    const auto decidePassive = qScopeGuard([&] {
        if (!HasFeature(features, u"PASV"_s) && !HasFeature(features, u"EPSV"_s))
            Passive = false;
    });
    SetTransferType(ftASCII);
    ReadHelpWords(features);
    ReadFeatureLines(features);
    if (HasFeature(features, u"UTF8"_s))
        SendChecked(u"OPTS UTF8 ON"_s, 200);
}

// Every word of the HELP reply's lines between its first and its last.
void TIdFTP::ReadHelpWords(QStringList &features)
{
    WriteLine(u"HELP"_s);
    ReadReply();
    const QStringList &lines = ReplyLines();
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QString &line = lines[i];
        const QString words = line.startsWith("214-"_L1) ? line.mid(4).trimmed() : line;
        // simplified() knows every blank trimming does, a no-break space too.
        features.append(words.simplified().split(u' ', Qt::SkipEmptyParts));
    }
}

// One entry a FEAT line, with its parameters ("REST STREAM", "MLST size*;"),
// so that HasFeature finds the extension by its name.
void TIdFTP::ReadFeatureLines(QStringList &features)
{
    if (SendChecked(u"FEAT"_s, 211) != 211)
        return;
    const QStringList &lines = ReplyLines();
    const QStringList announced = lines.mid(1, lines.size() - 2);
    features += announced;
    // An announced MLST stands for MLSD as well; some servers name only MLST.
    if (HasFeature(announced, u"MLST"_s) && !HasFeature(features, u"MLSD"_s))
        features.append(u"MLSD"_s);
}

bool TIdFTP::HasFeature(const QStringList &features, const QString &word)
{
    return std::any_of(features.begin(), features.end(), [&](const QString &feature) {
        return feature.size() >= word.size() &&
               QStringView(feature).left(word.size()).compare(word, Qt::CaseInsensitive) == 0;
    });
}

// --- single-reply commands ----------------------------------------------------

QString TIdFTP::CurrentDir()
{
    SendChecked(u"PWD"_s, 257);
    const QString line = LastReplyLine();
    const qsizetype first = line.indexOf(u'"');
    const qsizetype second = first < 0 ? -1 : line.indexOf(u'"', first + 1);
    return second < 0 ? QString() : line.mid(first + 1, second - first - 1);
}

QString TIdFTP::CurrentFolderPath()
{
    SendChecked(u"PWD"_s, 257);
    return QuotedPathOf(LastReplyLine());
}

bool TIdFTP::ChangeDir(const QString &path)
{
    return path.isEmpty() || SendChecked(u"CWD "_s + path, 250) == 250;
}

bool TIdFTP::ChangeDirUp()
{
    return SendChecked(u"CDUP"_s, 250) == 250;
}

bool TIdFTP::MakeDir(const QString &path)
{
    return SendChecked(u"MKD "_s + path, 257) == 257;
}

bool TIdFTP::RemoveDir(const QString &path)
{
    return SendChecked(u"RMD "_s + path, 250) == 250;
}

bool TIdFTP::RemoveFile(const QString &path)
{
    return SendChecked(u"DELE "_s + path, 250) == 250;
}

bool TIdFTP::Rename(const QString &oldName, const QString &newName)
{
    return SendChecked(u"RNFR "_s + oldName, 350) == 350 && SendChecked(u"RNTO "_s + newName, 250) == 250;
}

qint64 TIdFTP::FileSize(const QString &path)
{
    // Several servers refuse SIZE in ASCII type.
    SetTransferType(ftBinary);
    if (SendCheckedList(u"SIZE "_s + path, {}) != 213)
        return -1;
    QString text = ReplyLines().join(u"\r\n"_s).trimmed();
    text.remove(0, text.indexOf(u' ') + 1);
    bool ok = false;
    const qint64 size = text.toLongLong(&ok);
    return ok && size >= 0 ? size : -1;
}

bool TIdFTP::SetModifiedTime(const QString &path, const QDateTime &modified)
{
    if (!modified.isValid())
        return false;
    const QString stamp = modified.toUTC().toString(u"yyyyMMddHHmmss"_s);
    return SendChecked(u"MFMT %1 %2"_s.arg(stamp, path), 213) == 213;
}
