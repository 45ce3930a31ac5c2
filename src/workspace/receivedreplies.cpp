#include "receivedreplies.h"

using namespace Qt::StringLiterals;

namespace {

const QString kReceived = u"Erh.: "_s;
const QString kLineEnd = u"<EOL>"_s;

// The reply code a line of a reply begins with, or an empty view.
QStringView CodeOf(QStringView line)
{
    if (line.size() < 3)
        return {};
    for (int i = 0; i < 3; ++i) {
        if (!line[i].isDigit())
            return {};
    }
    return line.first(3);
}

bool OpensMultiLineReply(QStringView line)
{
    return !CodeOf(line).isEmpty() && line.size() > 3 && line[3] == u'-';
}

} // namespace

QStringList SplitReceivedReplies(const QString &logLine)
{
    if (!logLine.startsWith(kReceived))
        return {logLine};
    QStringList lines;
    QString reply;
    QStringView openCode; // the code of a multi-line reply not yet ended
    qsizetype start = kReceived.size();
    while (start < logLine.size()) {
        const qsizetype end = logLine.indexOf(kLineEnd, start);
        const qsizetype next = end < 0 ? logLine.size() : end + kLineEnd.size();
        const QStringView line = QStringView(logLine).sliced(start, (end < 0 ? logLine.size() : end) - start);
        reply += QStringView(logLine).sliced(start, next - start);
        const QStringView code = CodeOf(line);
        if (openCode.isEmpty() && OpensMultiLineReply(line)) {
            openCode = code;
        } else if (end >= 0 && !code.isEmpty() && !OpensMultiLineReply(line) &&
                   (openCode.isEmpty() || code == openCode)) {
            lines.append(kReceived + reply);
            reply.clear();
            openCode = {};
        }
        start = next;
    }
    if (!reply.isEmpty() || lines.isEmpty())
        lines.append(kReceived + reply);
    return lines;
}
