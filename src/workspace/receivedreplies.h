#pragma once

#include <QString>
#include <QStringList>

// One read from the server may bring several replies (a 150 and the 226
// after it arrive together), or only part of one: the received log lines
// ("Erh.: ...", line ends shown as "<EOL>") become one log line per reply,
// so that each is seen and a failed one is drawn red. A multi-line reply
// ("211-..." up to "211 ...") stays one line. A reply that a read brings
// only in part waits for the read that completes it; any other log line
// first lets out what waits, and then comes back as it is.
class ReceivedReplyJoiner {
public:
    QStringList Take(const QString &logLine);

private:
    QString m_unfinished; // the start of a reply, without the "Erh.: "
};
