// The session's readers of single replies: the PASV and EPSV addresses,
// the folder in a PWD reply, the size in a SIZE reply and the feature lists
// of HELP and FEAT. A peer may answer anything; the session either takes a sound value
// or refuses, and it never connects a data connection anywhere but to the
// server it talks to.
#include "fuzzsupport.h"
#include "idexceptions.h"
#include "scriptedpeer.h"
#include "tidftp.h"

namespace {

// The control connection's peer: one address in the user's own network,
// one on the internet, so both rules for PASV addresses are exercised.
const QString kPeerAddresses[] = {QStringLiteral("127.0.0.1"), QStringLiteral("192.0.2.10")};

void CheckPassiveTarget(const TIdFTP::PassiveTarget &target, const QString &peer)
{
    FUZZ_CHECK(target.port >= 0 && target.port <= 65535);
    FUZZ_CHECK(target.address == peer);
}

void ReadReplies(TIdFTP &session, const QString &peer, uint8_t order)
{
    for (int step = 0; step < 7 && session.IsConnected(); ++step) {
        try {
            switch ((order + step) % 6) {
            case 0:
                CheckPassiveTarget(session.EnterPassive(), peer);
                break;
            case 1: {
                const QString folder = session.CurrentDir();
                FUZZ_CHECK(!folder.contains(u'"'));
                break;
            }
            case 2:
                FUZZ_CHECK(session.FileSize(QStringLiteral("a.bin")) >= -1);
                break;
            case 3: {
                QStringList features;
                session.ProbeFeatures(features);
                for (const QString &feature : features)
                    FUZZ_CHECK(!feature.isEmpty());
                break;
            }
            case 4:
                session.ChangeDir(QStringLiteral("pub"));
                break;
            case 5:
                if (const std::optional<TIdFTP::PassiveTarget> target = session.EnterExtendedPassive())
                    CheckPassiveTarget(*target, peer);
                break;
            }
        } catch (const EIdException &) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::Input input(data, size);
    const uint8_t switches = input.Byte();
    const uint8_t pieceSize = input.Byte();
    const QByteArray stream = input.Rest();
    const QString &peerAddress = kPeerAddresses[switches & 1];

    TIdFTP session;
    session.Encoding = NameEncoding((switches >> 1) % 2);
    // Short enough that inputs of a few kilobytes reach it.
    session.MaxLineLength = (switches & 0x80) ? 200 : TIdTCPConnection::kMaxLineLength;
    ScriptedPeer peer(stream, pieceSize == 0 ? stream.size() : pieceSize);
    peer.Attach(session, peerAddress);
    ReadReplies(session, peerAddress, switches >> 3);
    session.CloseConnection();
    return 0;
}
