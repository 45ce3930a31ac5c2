#include "knowncertificates.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

struct Entry {
    QString host;
    int port = 0;
    QString fingerprint;
};

std::optional<Entry> ParseLine(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(u'#'))
        return std::nullopt;
    const QStringList fields = trimmed.split(u' ', Qt::SkipEmptyParts);
    bool isNumber = false;
    const int port = fields.size() == 3 ? fields.at(1).toInt(&isNumber) : 0;
    if (!isNumber || port <= 0)
        return std::nullopt;
    return Entry{fields.at(0), port, fields.at(2)};
}

bool IsServer(const Entry &entry, const QString &host, int port)
{
    return entry.port == port && entry.host.compare(host, Qt::CaseInsensitive) == 0;
}

QStringList ReadLines(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

KnownCertificates::KnownCertificates(QString fileName)
    : m_fileName(std::move(fileName))
{
}

std::optional<QString> KnownCertificates::Fingerprint(const QString &host, int port) const
{
    for (const QString &line : ReadLines(m_fileName)) {
        const std::optional<Entry> entry = ParseLine(line);
        if (entry && IsServer(*entry, host, port))
            return entry->fingerprint;
    }
    return std::nullopt;
}

bool KnownCertificates::Remember(const QString &host, int port, const QString &fingerprint) const
{
    // A host name never holds a blank; one that did would break the line.
    if (host.isEmpty() || host.contains(u' ') || port <= 0 || fingerprint.isEmpty())
        return false;
    QStringList lines;
    for (const QString &line : ReadLines(m_fileName)) {
        const std::optional<Entry> entry = ParseLine(line);
        if (!entry || !IsServer(*entry, host, port))
            lines.append(line);
    }
    lines.append(u"%1 %2 %3"_s.arg(host).arg(port).arg(fingerprint));
    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write((lines.join(u'\n') + u'\n').toUtf8());
    return file.commit();
}

QString KnownCertificates::FingerprintText(const QByteArray &digest)
{
    return QString::fromLatin1(digest.toHex(':').toUpper());
}
