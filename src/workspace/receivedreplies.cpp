#include "receivedreplies.h"

#include <utility>

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

namespace {

struct SplitReplies {
    QStringList complete; // log lines, one per reply
    QString unfinished;   // what follows the last complete reply
};

SplitReplies SplitReplyText(const QString &text)
{
    SplitReplies split;
    QStringView openCode; // the code of a multi-line reply not yet ended
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype end = text.indexOf(kLineEnd, start);
        const qsizetype next = end < 0 ? text.size() : end + kLineEnd.size();
        const QStringView line = QStringView(text).sliced(start, (end < 0 ? text.size() : end) - start);
        split.unfinished += QStringView(text).sliced(start, next - start);
        const QStringView code = CodeOf(line);
        if (openCode.isEmpty() && OpensMultiLineReply(line)) {
            openCode = code;
        } else if (end >= 0 && !code.isEmpty() && !OpensMultiLineReply(line) &&
                   (openCode.isEmpty() || code == openCode)) {
            split.complete.append(kReceived + split.unfinished);
            split.unfinished.clear();
            openCode = {};
        }
        start = next;
    }
    return split;
}

} // namespace

QStringList ReceivedReplyJoiner::Take(const QString &logLine)
{
    if (!logLine.startsWith(kReceived)) {
        QStringList lines;
        if (!m_unfinished.isEmpty())
            lines.append(kReceived + std::exchange(m_unfinished, {}));
        lines.append(logLine);
        return lines;
    }
    SplitReplies split = SplitReplyText(m_unfinished + logLine.sliced(kReceived.size()));
    m_unfinished = split.unfinished;
    return split.complete;
}
