// The reply reader fed from a byte stream: any bytes end in replies, or in
// an engine error that closes the connection, within bounded memory.
#include "fuzzsupport.h"
#include "idexceptions.h"
#include "scriptedpeer.h"

namespace {

// Short enough that inputs of a few kilobytes reach the limit.
constexpr qint64 kLineLimits[] = {TIdTCPConnection::kMaxLineLength, 64, 1000};

void CheckReply(const TIdTCPConnection &connection, int result, const QList<int> &allowed)
{
    const QStringList &lines = connection.ReplyLines();
    FUZZ_CHECK(!lines.isEmpty());
    qint64 size = 0;
    for (const QString &line : lines) {
        FUZZ_CHECK(!line.isEmpty() && line == line.trimmed());
        FUZZ_CHECK(line.size() <= connection.MaxLineLength);
        size += line.size();
    }
    FUZZ_CHECK(size <= connection.MaxLineLength + lines.constLast().size());
    FUZZ_CHECK(connection.ReplyCode() >= 0 && connection.ReplyCode() <= 999);
    FUZZ_CHECK(result == 0 || result == connection.ReplyCode());
    FUZZ_CHECK(allowed.isEmpty() || result == 0 || allowed.contains(result));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::Input input(data, size);
    const uint8_t switches = input.Byte();
    const uint8_t pieceSize = input.Byte();
    const QByteArray stream = input.Rest();

    TIdTCPConnection connection;
    connection.Encoding = NameEncoding(switches % 2);
    connection.MaxLineLength = kLineLimits[(switches >> 4) % 3];
    ScriptedPeer peer(stream, pieceSize == 0 ? stream.size() : pieceSize);
    peer.Attach(connection, QStringLiteral("127.0.0.1"));

    static const QList<int> kAllowedLists[] = {{}, {220}, {200, 250}, {125, 150, 250}};
    // Every reply consumes at least one byte, so this ends with the stream.
    for (int round = 0;; ++round) {
        const QList<int> &allowed = kAllowedLists[(switches >> 2) % 4];
        try {
            if ((switches & 0x40) && round % 3 == 2) {
                const QString line = connection.ReadLine(QByteArray("\r\n"), 0);
                FUZZ_CHECK(!line.contains(QStringLiteral("\r\n")));
                continue;
            }
            const int result = connection.ReadReply(allowed);
            CheckReply(connection, result, allowed);
        } catch (const EIdException &) {
            break;
        }
        if (!connection.IsConnected())
            break;
    }
    connection.CloseConnection();
    return 0;
}
