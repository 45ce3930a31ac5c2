#pragma once

#include <QIODevice>
#include <QSet>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <functional>

// Where a download for the content test goes: the bytes are searched for the
// terms as they arrive and then dropped, so memory stays bounded however
// large the file is. Only the text up to the first zero byte counts. The
// bytes are read both as UTF-8 and as Windows-1252, so a term is found in
// either kind of text file.
class ContentScanner : public QIODevice {
public:
    // terms must already be in the case they are compared in; toComparable
    // brings the file's text into that case.
    ContentScanner(const QStringList &terms, std::function<QString(const QString &)> toComparable);

    bool Contains(const QString &term) const { return m_found.contains(term); }
    qint64 BytesReceived() const { return m_received; }

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    // tail: the end of what was searched before, which may hold the
    // beginning of a term that the chunk boundary cut.
    void Scan(const QString &text, QString &tail);
    bool AllFound() const { return m_found.size() == m_terms.size(); }

    QStringList m_terms;
    std::function<QString(const QString &)> m_toComparable;
    qsizetype m_longestTerm = 0;
    QSet<QString> m_found;
    QStringDecoder m_utf8{QStringDecoder::Utf8};
    QString m_utf8Tail;
    QString m_windows1252Tail;
    qint64 m_received = 0;
    bool m_textEnded = false;
};
