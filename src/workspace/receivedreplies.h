#pragma once

#include <QString>
#include <QStringList>

// One read from the server may bring several replies (a 150 and the 226
// after it arrive together): a received log line ("Erh.: ...", line ends
// shown as "<EOL>") becomes one log line per reply, so that each is seen
// and a failed one is drawn red. A multi-line reply ("211-..." up to
// "211 ...") stays one line; any other line comes back as it is.
QStringList SplitReceivedReplies(const QString &logLine);
