#include "ftpdatachannel.h"
#include "idexceptions.h"
#include "sessionhost.h"
#include "socketapi.h"
#include "tidsimpleserver.h"

#include <QFile>
#include <QFileDevice>
#include <QRegularExpression>
#include <QScopeGuard>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

using namespace Qt::StringLiterals;

namespace {

// Holds small writes on a socket back while it lives, and sends them as one.
class SendsHeldTogether {
public:
    explicit SendsHeldTogether(int socket)
        : m_socket(socket)
    {
        Cork(1);
    }
    ~SendsHeldTogether() { Cork(0); }
    SendsHeldTogether(const SendsHeldTogether &) = delete;
    SendsHeldTogether &operator=(const SendsHeldTogether &) = delete;

private:
    void Cork(int on) const
    {
        if (m_socket >= 0)
            ::setsockopt(m_socket, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
    }

    int m_socket;
};

} // namespace

namespace {

const QList<int> kFinalReplyCodes = {225, 226, 250, 426};
// How long an EPSV sent ahead for the next file is used: servers keep an
// unused data port open for a minute or more.
constexpr qint64 kPassiveSentAheadKeptMs = 5000;

[[noreturn]] void RaiseBadPassiveReply(const QString &line, QStringView command = u"PASV")
{
    throw EIdException(u"Ungültige Antwort auf %1: %2"_s.arg(command, line.left(200)));
}

int PassiveField(const QString &field, const QString &line)
{
    bool ok = false;
    const int value = field.trimmed().toInt(&ok);
    if (!ok || value < 0 || value > 255)
        RaiseBadPassiveReply(line);
    return value;
}

void CloseQuietly(TIdTCPConnection &connection)
{
    try {
        connection.CloseConnection();
    } catch (const EIdException &) {
    }
}

} // namespace

bool TIdFTP::HasDataConnection() const
{
    return m_data != nullptr;
}

void TIdFTP::CloseDataConnection()
{
    if (m_data && m_data->connection)
        m_data->connection->CloseConnection();
}

// --- PASV and PORT ---------------------------------------------------------

TIdFTP::PassiveTarget TIdFTP::EnterPassive()
{
    SendChecked(u"PASV"_s, 227);
    if (!IsConnected())
        throw EIdConnClosedGracefully();
    const QString line = LastReplyLine().trimmed();
    const qsizetype open = line.indexOf(u'(');
    const qsizetype close = line.indexOf(u')');
    const QString fieldText = (open >= 0 && close > open) ? line.mid(open + 1, close - open - 1)
                                                          : line.mid(line.lastIndexOf(u' ') + 1);
    const QStringList fields = fieldText.split(u',');
    if (fields.size() < 6)
        RaiseBadPassiveReply(line);

    QList<int> octets;
    for (int i = 0; i < 4; ++i)
        octets.append(PassiveField(fields[i], line));
    PassiveTarget target;
    target.address = u"%1.%2.%3.%4"_s.arg(octets[0]).arg(octets[1]).arg(octets[2]).arg(octets[3]);
    target.port = PassiveField(fields[4], line) * 256 + PassiveField(fields[5], line);
    // The data connection goes to the server this session talks to, never
    // to an address the reply names: a server behind a router names its
    // inner address, and a hostile one could send the client to any host,
    // in the user's own network or elsewhere.
    const QString peer = Binding().PeerIP;
    if (!TrustPassiveAddress && !peer.isEmpty() && target.address != peer) {
        if (octets[0] != 0)
            DoStatus(hsStatusText,
                     u"Der Server nennt für die Datenverbindung die Adresse %1; "
                     u"verbunden wird mit seiner eigenen Adresse %2."_s.arg(target.address, peer));
        target.address = peer;
    }
    return target;
}

// "229 Entering Extended Passive Mode (|||6446|)": only the port is given,
// between delimiters that are the character after the parenthesis; the
// address is the one the control connection goes to.
std::optional<TIdFTP::PassiveTarget> TIdFTP::EnterExtendedPassive()
{
    QElapsedTimer asked;
    asked.start();
    WriteLine(u"EPSV"_s);
    std::optional<PassiveTarget> peer = ReadExtendedPassiveReply();
    m_passiveReplyNs = asked.nsecsElapsed();
    return peer;
}

std::optional<TIdFTP::PassiveTarget> TIdFTP::ReadExtendedPassiveReply()
{
    if (ReadReply({229}) != 229) {
        if (!IsConnected())
            throw EIdConnClosedGracefully();
        return std::nullopt;
    }
    const QString line = LastReplyLine().trimmed();
    const qsizetype open = line.indexOf(u'(');
    const qsizetype close = line.lastIndexOf(u')');
    if (open < 0 || close < open + 2)
        RaiseBadPassiveReply(line, u"EPSV");
    const QString fieldText = line.mid(open + 1, close - open - 1);
    const QStringList fields = fieldText.split(fieldText.at(0));
    bool ok = false;
    const int port = fields.value(3).toInt(&ok);
    if (fields.size() != 5 || !ok || port < 1 || port > 65535)
        RaiseBadPassiveReply(line, u"EPSV");
    m_extendedPassiveWorks = true;
    return PassiveTarget{Binding().PeerIP, port};
}

// EPSV works over IPv6 and through routers that would need to rewrite the
// address of a PASV reply; a server that refuses it once gets PASV for the
// rest of the session.
TIdFTP::PassiveTarget TIdFTP::EnterPassiveMode()
{
    if (!m_extendedPassiveRefused) {
        if (const std::optional<PassiveTarget> target = EnterExtendedPassive())
            return *target;
        m_extendedPassiveRefused = true;
    }
    return EnterPassive();
}

// PORT can only name IPv4 addresses; EPRT names either.
void TIdFTP::AnnouncePort(const TIdSocketHandle &listening)
{
    if (SocketApi::IsIPv6Address(listening.IP)) {
        // The zone of a link-local address means nothing to the server.
        const QString address = listening.IP.section(u'%', 0, 0);
        SendChecked(u"EPRT |2|%1|%2|"_s.arg(address).arg(listening.Port), 200);
        return;
    }
    QString address = listening.IP;
    address.replace(u'.', u',');
    SendChecked(u"PORT %1,%2,%3"_s.arg(address).arg(listening.Port / 256).arg(listening.Port % 256), 200);
}

// --- data connections --------------------------------------------------------

template <class Connection> Connection &TIdFTP::CreateDataConnection()
{
    auto connection = std::make_unique<Connection>();
    Connection &created = *connection;
    created.OnWorkBegin = OnWorkBegin;
    created.OnWork = OnWork;
    created.OnWorkEnd = OnWorkEnd;
    created.RecvBufferSize = RecvBufferSize;
    created.SendBufferSize = SendBufferSize;
    m_data = std::make_unique<DataChannel>();
    m_data->connection = std::move(connection);
    return created;
}

TIdSimpleServer &TIdFTP::CreateListeningDataConnection()
{
    auto &server = CreateDataConnection<TIdSimpleServer>();
    server.BoundIP = Binding().IP;
    // A server that cannot connect answers on the control connection
    // instead; waiting on for its connection would never end.
    server.StopWaiting = [this] { return HasIncomingData(); };
    server.BeginListen();
    return server;
}

void TIdFTP::SecureDataConnection(TIdTCPConnection &connection)
{
    TIdConnectionInterceptOpenSSL *tls = TlsLayer();
    if (!tls || !m_protectData)
        return;
    m_data->tls = tls->CreateDataChannelLayer();
    connection.SetIntercept(m_data->tls.get());
    connection.SetInterceptEnabled(true);
    m_data->tls->Connect(connection.Binding());
}

// The server waits for the end of the data (an upload) before it sends the
// final reply, so the data connection is closed before that is read.
void TIdFTP::ReleaseDataConnection()
{
    if (m_data && m_data->connection)
        CloseQuietly(*m_data->connection);
    m_data.reset();
    SetActivity(1);
}

// Sends the source from its current position.
void TIdFTP::Upload(TIdTCPConnection &connection, QIODevice &source)
{
    try {
        connection.WriteFromStream(source, false, false);
        if (m_data->tls)
            m_data->tls->FinishSending();
    } catch (const EIdSocketError &) {
        if (!m_transfer->abortRequested && sessionHost())
            sessionHost()->SetTransferActive(false);
        throw;
    }
}

// --- one transfer ------------------------------------------------------------
//
// Every transfer, download, upload or listing, in either mode, runs through
// RunTransfer. However it ends (done, refused, a data connection that never
// came up or broke, a local file that failed, the user's abort), the server
// has said everything it owes for the command before RunTransfer returns, so
// the next command gets its own reply.

bool TIdFTP::RunTransfer(const QString &command, const QList<int> &preliminaryCodes,
                         const DataMover &moveData, qint64 restartAt)
{
    m_refusal = Refusal::None;
    m_announcedSize = -1;
    if (!IsAlive())
        return false;
    // Something the pump ran may try to start a second transfer on this
    // session while one is running; the two would share one control line.
    if (m_transfer)
        throw EIdException(u"Auf dieser Verbindung läuft bereits eine Übertragung."_s);
    m_transfer = std::make_unique<TransferState>();
    m_transfer->restartAt = restartAt;
    const auto forget = qScopeGuard([this] {
        m_data.reset();
        m_transfer.reset();
    });
    bool dataMoved = false;
    std::exception_ptr failure;
    try {
        dataMoved = Passive ? TransferPassive(command, preliminaryCodes, moveData)
                            : TransferActive(command, preliminaryCodes, moveData);
    } catch (const EIdException &) {
        failure = std::current_exception();
    }
    ReleaseDataConnection();
    return FinishTransfer(dataMoved, failure);
}

// EPSV or PASV, then the command (its reply is read once the data
// connection stands), then a client for the address the server named.
bool TIdFTP::TransferPassive(const QString &command, const QList<int> &preliminaryCodes,
                             const DataMover &moveData)
{
    SetActivity(3);
    std::optional<PassiveTarget> peer = SendWithExtendedPassive(command);
    if (!peer) {
        if (m_transfer->phase != TransferState::Phase::Preparing)
            return false;
        peer = EnterPassiveMode();
        if (m_transfer->abortRequested || !AskToRestart())
            return false;
        SendTransferCommand(command);
    }
    if (m_transfer->abortRequested)
        return false;
    SetActivity(1);
    auto &data = CreateDataConnection<TIdTCPClient>();
    data.SocksInfo = SocksInfo;
    data.Host = peer->address;
    data.Port = peer->port;
    if (!data.OpenConnection() || !ReadPreliminaryReply(preliminaryCodes))
        return false;
    SecureDataConnection(data);
    moveData(data);
    return true;
}

// Once EPSV has worked on this session, the transfer command goes out right
// behind it: the server answers EPSV, waits for the data connection and
// then answers the command, which saves a round trip per file. Not with
// REST, which must come right before the command. Nothing when the way
// through PASV is to be taken; a refused EPSV has then been answered, and
// so has the command that came with it.
std::optional<TIdFTP::PassiveTarget> TIdFTP::SendWithExtendedPassive(const QString &command)
{
    if (!m_extendedPassiveWorks || m_extendedPassiveRefused || m_transfer->restartAt > 0 ||
        m_transfer->abortRequested)
        return std::nullopt;
    QElapsedTimer asked;
    const bool sentAhead = TakePassiveSentAhead();
    if (sentAhead) {
        SendTransferCommand(command);
    } else {
        // Both commands leave in one segment: servers read a command only
        // once they have dealt with the one before.
        const SendsHeldTogether held(Binding().Handle);
        asked.start();
        WriteLine(u"EPSV"_s);
        SendTransferCommand(command);
    }
    std::optional<PassiveTarget> peer = ReadExtendedPassiveReply();
    if (!sentAhead)
        m_passiveReplyNs = asked.nsecsElapsed();
    if (peer)
        return peer;
    m_extendedPassiveWorks = false;
    m_extendedPassiveRefused = true;
    // The command came without a data connection; the server refuses it.
    ReadReply();
    if (ReplyCode() >= 100 && ReplyCode() < 200) {
        m_transfer->phase = TransferState::Phase::Running;
        return std::nullopt;
    }
    m_transfer->phase = TransferState::Phase::Preparing;
    return std::nullopt;
}

bool TIdFTP::TransferActive(const QString &command, const QList<int> &preliminaryCodes,
                            const DataMover &moveData)
{
    auto &data = CreateListeningDataConnection();
    SetActivity(3);
    AnnouncePort(data.ListenBinding());
    if (m_transfer->abortRequested || !AskToRestart())
        return false;
    SendTransferCommand(command);
    if (!ReadPreliminaryReply(preliminaryCodes) || !data.AcceptConnection())
        return false;
    SecureDataConnection(data);
    moveData(data);
    return true;
}

// REST belongs to the transfer command that follows it at once, so it goes
// out after PASV or PORT. A transfer stopped meanwhile clears the marker
// again: the server would apply it to whatever transfer comes next.
bool TIdFTP::AskToRestart()
{
    const qint64 offset = m_transfer->restartAt;
    if (offset <= 0)
        return true;
    if (SendChecked(u"REST %1"_s.arg(offset), 350) != 350) {
        m_refusal = Refusal::Restart;
        return false;
    }
    if (!m_transfer->abortRequested)
        return true;
    SendChecked(u"REST 0"_s, 350);
    return false;
}

void TIdFTP::SendTransferCommand(const QString &command)
{
    WriteLine(command);
    m_transfer->phase = TransferState::Phase::CommandSent;
}

// "150 Opening BINARY mode data connection for f (1234 bytes)."
qint64 TIdFTP::AnnouncedSizeIn(const QStringList &replyLines)
{
    static const QRegularExpression size(u"\\((\\d+) bytes?\\)"_s, QRegularExpression::CaseInsensitiveOption);
    for (const QString &line : replyLines) {
        const QRegularExpressionMatch match = size.match(line);
        bool valid = false;
        const qint64 bytes = match.hasMatch() ? match.captured(1).toLongLong(&valid) : -1;
        if (valid)
            return bytes;
    }
    return -1;
}

bool TIdFTP::ReadPreliminaryReply(const QList<int> &positiveCodes)
{
    SetActivity(2);
    const bool positive = ReadReply(positiveCodes) != 0;
    SetActivity(1);
    // A refusal is the server's whole answer; any other 1xx promises more.
    const bool preliminary = ReplyCode() >= 100 && ReplyCode() < 200;
    if (positive) {
        m_transfer->phase = TransferState::Phase::Running;
        m_announcedSize = AnnouncedSizeIn(ReplyLines());
    } else if (!preliminary) {
        m_transfer->phase = TransferState::Phase::Answered;
        m_refusal = Refusal::Command;
    }
    return positive;
}

bool TIdFTP::FinishTransfer(bool dataMoved, const std::exception_ptr &failure)
{
    bool done = false;
    if (!failure && !m_transfer->abortRequested) {
        if (dataMoved)
            done = ReadFinalReply();
        else if (m_transfer->OwesReplies())
            StopTransferOnServer(); // the data connection never came up
    }
    if (m_transfer->abortRequested) {
        // What the cut data connection raised was the abort itself.
        if (failure && !IsConnected())
            std::rethrow_exception(failure);
        SkipRepliesAfterAbort();
        return false;
    }
    if (failure) {
        StopTransferAfterFailure();
        std::rethrow_exception(failure);
    }
    return done;
}

bool TIdFTP::ReadFinalReply()
{
    SetActivity(2);
    const int code = ReadReply(kFinalReplyCodes);
    SetActivity(1);
    m_transfer->phase = TransferState::Phase::Answered;
    if (code == 426) {
        // The transfer broke off. Some servers follow with a 226, others
        // say nothing more; the skip reads whichever came.
        m_repliesOwed = true;
        SkipRepliesAfterAbort();
        return false;
    }
    return code != 0;
}

// The server may still be waiting for a data connection or sending data:
// ABOR ends that, and the skip reads everything up to the answer to NOOP.
void TIdFTP::StopTransferOnServer()
{
    m_transfer->aborCommandSent = true;
    m_repliesOwed = true;
    WriteLine(u"ABOR"_s);
    SkipRepliesAfterAbort();
}

// The error that ended the transfer is what the caller gets to see; when the
// control connection fails too, a session out of step is not kept open.
void TIdFTP::StopTransferAfterFailure()
{
    if (!m_transfer->OwesReplies() || !IsConnected())
        return;
    try {
        StopTransferOnServer();
    } catch (const EIdException &) {
        CloseQuietly(*this);
    }
}

void TIdFTP::Abort()
{
    if (!IsAlive() || !m_transfer || m_transfer->abortRequested || m_transfer->aborCommandSent)
        return;
    m_transfer->abortRequested = true;
    // Before its command went out the transfer stops by itself.
    if (m_transfer->OwesReplies() && IsConnected()) {
        m_transfer->aborCommandSent = true;
        m_repliesOwed = true;
        WriteLine(u"ABOR"_s);
    }
    CloseDataConnection();
}

void TIdFTP::SkipRepliesAfterAbort()
{
    if (m_repliesOwed && IsConnected())
        SkipToOwnReply();
}

// After ABOR the server may still owe the transfer's replies and its answer
// to ABOR, in an order and with codes that depend on the server and on when
// the abort arrived. Everything before the answer to a NOOP belongs to them.
void TIdFTP::SkipToOwnReply()
{
    // The preliminary and final reply, a 426, the answer to ABOR, and room
    // for servers that say more.
    constexpr int kMaxLeftoverReplies = 8;
    int code = SendCommand(u"NOOP"_s, -1);
    for (int leftovers = 0; code != 200; ++leftovers) {
        if (leftovers == kMaxLeftoverReplies) {
            CloseConnection();
            throw EIdException(u"Der Server antwortet nicht mehr passend zu den Befehlen; "
                               u"die Verbindung wurde getrennt."_s);
        }
        SetActivity(2);
        code = ReadReply();
        SetActivity(1);
    }
    m_repliesOwed = false;
}

bool TIdFTP::ReceiveData(const QString &command, QIODevice &target, bool listingVariant)
{
    const QList<int> preliminaryCodes = listingVariant ? QList<int>{125, 150, 250} : QList<int>{125, 150};
    return RunTransfer(command, preliminaryCodes, [&target, this](TIdTCPConnection &data) {
        SetActivity(2);
        data.ReadIntoStream(target, -1, true);
    });
}

bool TIdFTP::SendData(const QString &command, QIODevice &source)
{
    return SendDataFrom(command, source, source.pos());
}

// Sends source from start on; restartAt, when above 0, is the REST offset.
bool TIdFTP::SendDataFrom(const QString &command, QIODevice &source, qint64 start, qint64 restartAt)
{
    // An active upload tells the window it is over whatever happened.
    const auto endActive = qScopeGuard([this, active = !Passive] {
        if (active && sessionHost())
            sessionHost()->SetTransferActive(false);
    });
    if (!source.seek(start))
        throw EIdException(u"Die Daten konnten nicht gelesen werden: %1"_s.arg(source.errorString()));
    return RunTransfer(
        command, {125, 150},
        [&source, this](TIdTCPConnection &data) {
            SetActivity(3);
            Upload(data, source);
        },
        restartAt);
}

// The data goes into target from start on; what target held beyond start
// is cut off only once the server sends, so a refused transfer leaves it.
TIdFTP::DataMover TIdFTP::ReceiveFileFrom(QFileDevice &target, qint64 start)
{
    return [&target, start, this](TIdTCPConnection &data) {
        if (!target.resize(start) || !target.seek(start))
            throw EIdException(u"Die Datei %1 kann nicht beschrieben werden: %2"_s.arg(target.fileName(),
                                                                                       target.errorString()));
        SetActivity(2);
        data.ReadIntoStream(target, -1, true);
    };
}

void TIdFTP::ReportStatus(const QString &text)
{
    DoStatus(hsStatusText, text);
}

// --- downloads and uploads -------------------------------------------------

bool TIdFTP::Retrieve(const QString &name, QIODevice &target)
{
    const bool anotherFollows = std::exchange(m_retrieveFollows, false);
    const bool done = ReceiveData(u"retr "_s + name, target, false);
    if (done && anotherFollows)
        SendPassiveAhead();
    return done;
}

void TIdFTP::AnnounceNextRetrieve(const QString &, qint64)
{
    m_retrieveFollows = true;
}

void TIdFTP::SendPassiveAhead()
{
    if (!Passive || !m_extendedPassiveWorks || m_extendedPassiveRefused || !IsConnected() ||
        m_passiveReplyNs < 0 || m_passiveReplyNs > PassiveAheadWithinNs)
        return;
    WriteLine(u"EPSV"_s);
    m_passiveSentAhead = true;
    m_passiveSentAheadAt.start();
}

// Whether the EPSV sent ahead serves the transfer command going out now. A
// server may give up a data port left unused for a while (the user answered
// a question meanwhile): then its reply is read off and EPSV asked again.
bool TIdFTP::TakePassiveSentAhead()
{
    if (!m_passiveSentAhead || m_passiveSentAheadAt.elapsed() > kPassiveSentAheadKeptMs)
        return false;
    m_passiveSentAhead = false;
    return true;
}

// Any other line waits for the reply to the EPSV sent ahead, which is of no
// use then: the server takes the next PASV or EPSV for a new data port.
void TIdFTP::BeforeWritingLine()
{
    if (!std::exchange(m_passiveSentAhead, false))
        return;
    SetActivity(2);
    ReadReply();
    SetActivity(1);
}

bool TIdFTP::RetrieveToFile(const QString &name, const QString &localPath, bool mayOverwrite)
{
    if (!IsAlive())
        return false;
    if (!mayOverwrite && QFile::exists(localPath))
        throw EIdFTPFileAlreadyExists();
    QFile file(localPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        throw EIdException(
            u"Die Datei %1 kann nicht angelegt werden: %2"_s.arg(localPath, file.errorString()));
    return Retrieve(name, file);
}

bool TIdFTP::Store(QIODevice &source, const QString &name, bool append)
{
    if (!IsAlive())
        return false;
    QString command;
    if (name.isEmpty())
        command = u"STOU "_s;
    else
        command = (append ? u"APPE "_s : u"STOR "_s) + name;
    return SendData(command, source);
}

bool TIdFTP::RetrieveFrom(const QString &name, QFileDevice &target, qint64 offset)
{
    m_restartRefused = false;
    const QString command = u"retr "_s + name;
    if (offset > 0) {
        // Offsets count bytes only in binary type.
        SetTransferType(ftBinary);
        const bool done = RunTransfer(command, {125, 150}, ReceiveFileFrom(target, offset), offset);
        if (m_refusal != Refusal::Restart)
            return done;
        m_restartRefused = true;
        ReportStatus(u"Der Server lehnt REST ab: die ganze Datei wird übertragen."_s);
    }
    return RunTransfer(command, {125, 150}, ReceiveFileFrom(target, 0));
}

bool TIdFTP::StoreFrom(QIODevice &source, const QString &name, qint64 offset)
{
    m_restartRefused = false;
    if (offset > 0) {
        SetTransferType(ftBinary);
        const bool done = SendDataFrom(u"STOR "_s + name, source, offset, offset);
        if (m_refusal != Refusal::Restart)
            return done;
        m_restartRefused = true;
        ReportStatus(u"Der Server lehnt REST ab: der Rest der Datei wird mit APPE angehängt."_s);
        const bool appended = SendDataFrom(u"APPE "_s + name, source, offset);
        if (m_refusal != Refusal::Command)
            return appended;
        ReportStatus(u"Der Server lehnt auch APPE ab: die ganze Datei wird übertragen."_s);
    }
    return SendDataFrom(u"STOR "_s + name, source, 0);
}

bool TIdFTP::StoreFile(const QString &localPath, const QString &name, bool append)
{
    if (!IsAlive())
        return false;
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw EIdException(
            u"Die Datei %1 kann nicht gelesen werden: %2"_s.arg(localPath, file.errorString()));
    return Store(file, name, append);
}
