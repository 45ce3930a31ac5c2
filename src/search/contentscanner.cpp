#include "contentscanner.h"

#include "textcodec.h"

ContentScanner::ContentScanner(const QStringList &terms, std::function<QString(const QString &)> toComparable)
    : m_terms(terms)
    , m_toComparable(std::move(toComparable))
{
    m_terms.removeDuplicates();
    for (const QString &term : std::as_const(m_terms))
        m_longestTerm = std::max(m_longestTerm, term.size());
    open(QIODevice::WriteOnly);
}

qint64 ContentScanner::readData(char *, qint64)
{
    return -1;
}

qint64 ContentScanner::writeData(const char *data, qint64 size)
{
    m_received += size;
    if (m_textEnded || AllFound())
        return size;
    QByteArrayView bytes(data, size);
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0) {
        bytes = bytes.first(zero);
        m_textEnded = true;
    }
    Scan(m_utf8.decode(bytes), m_utf8Tail);
    Scan(TextCodec::DecodeWindows1252(bytes), m_windows1252Tail);
    return size;
}

void ContentScanner::Scan(const QString &text, QString &tail)
{
    const QString searched = tail + m_toComparable(text);
    for (const QString &term : std::as_const(m_terms)) {
        if (!m_found.contains(term) && searched.contains(term))
            m_found.insert(term);
    }
    tail = searched.right(std::max<qsizetype>(m_longestTerm - 1, 0));
}
