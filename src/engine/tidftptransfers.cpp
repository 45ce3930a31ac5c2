#include "ftpdatachannel.h"
#include "idexceptions.h"
#include "sessionhost.h"
#include "tidsimpleserver.h"

#include <QFile>
#include <QScopeGuard>

using namespace Qt::StringLiterals;

namespace {

const QList<int> kFinalReplyCodes = {225, 226, 250, 426};

[[noreturn]] void RaiseBadPassiveReply(const QString &line)
{
    throw EIdException(u"Ungültige Antwort auf PASV: %1"_s.arg(line.left(200)));
}

int PassiveField(const QString &field, const QString &line)
{
    bool ok = false;
    const int value = field.trimmed().toInt(&ok);
    if (!ok || value < 0 || value > 255)
        RaiseBadPassiveReply(line);
    return value;
}

// Addresses no server on the internet can be reached at.
bool IsPrivateAddress(const QList<int> &octets)
{
    const int a = octets[0];
    const int b = octets[1];
    return a == 0 || a == 10 || a == 127 || (a == 172 && b >= 16 && b <= 31) || (a == 192 && b == 168) ||
           (a == 169 && b == 254) || (a == 100 && b >= 64 && b <= 127);
}

QList<int> Octets(const QString &address)
{
    QList<int> octets;
    for (const QString &part : address.split(u'.'))
        octets.append(part.toInt());
    return octets.size() == 4 ? octets : QList<int>{0, 0, 0, 0};
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
    // A server behind a router often names its inner address, which cannot
    // be reached from outside; nor should a server on the internet send the
    // client into the user's own network. Both go to the server's address.
    const QString peer = Binding().PeerIP;
    if (!peer.isEmpty() && (octets[0] == 0 || (IsPrivateAddress(octets) && !IsPrivateAddress(Octets(peer)))))
        target.address = peer;
    return target;
}

void TIdFTP::AnnouncePort(const TIdSocketHandle &listening)
{
    QString address = listening.IP;
    address.replace(u'.', u',');
    SendChecked(u"PORT %1,%2,%3"_s.arg(address).arg(listening.Port / 256).arg(listening.Port % 256), 200);
}

// --- data connections --------------------------------------------------------

template <class Connection> Connection &TIdFTP::CreateDataConnection()
{
    // Something the pump ran may try to start a second transfer on this
    // session while one is running; the two would share one control line.
    if (m_data)
        throw EIdException(u"Auf dieser Verbindung läuft bereits eine Übertragung."_s);
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

// PASV, then the transfer command (its reply is read once the data
// connection stands), then a client for the address the server named.
TIdTCPClient &TIdFTP::CreatePassiveDataConnection(const QString &command)
{
    SetActivity(3);
    const PassiveTarget peer = EnterPassive();
    WriteLine(command);
    auto &data = CreateDataConnection<TIdTCPClient>();
    data.SocksInfo = SocksInfo;
    data.Host = peer.address;
    data.Port = peer.port;
    return data;
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

bool TIdFTP::ReadFinalReply(bool transferred)
{
    const int code = ReadReply(kFinalReplyCodes);
    if (code == 426)
        return ReadReply({226}) == 226;
    // A transfer is only done when the server says so.
    return transferred && code != 0;
}

bool TIdFTP::ReceiveData(const QString &command, QIODevice &target, bool listingVariant)
{
    const QList<int> preliminaryCodes = listingVariant ? QList<int>{125, 150, 250} : QList<int>{125, 150};
    if (!IsAlive())
        return false;
    bool transferred = false;
    bool refused = false;
    if (Passive) {
        auto &data = CreatePassiveDataConnection(command);
        const auto release = qScopeGuard([this] { m_data.reset(); });
        SetActivity(1);
        if (data.OpenConnection()) {
            const auto close = qScopeGuard([&] {
                SetActivity(1);
                CloseQuietly(data);
            });
            refused = ReadReply(preliminaryCodes) == 0;
            if (!refused) {
                SecureDataConnection(data);
                SetActivity(2);
                data.ReadIntoStream(target, -1, true);
                transferred = true;
            }
        }
    } else {
        auto &data = CreateListeningDataConnection();
        const auto release = qScopeGuard([this] {
            SetActivity(1);
            m_data.reset();
        });
        SetActivity(3);
        AnnouncePort(data.ListenBinding());
        refused = SendCheckedList(command, preliminaryCodes) == 0;
        if (!refused) {
            SetActivity(2);
            if (data.AcceptConnection()) {
                SecureDataConnection(data);
                data.ReadIntoStream(target, -1, true);
                transferred = true;
            }
        }
    }
    // A refused command has had its answer already.
    return !refused && ReadFinalReply(transferred);
}

bool TIdFTP::SendData(const QString &command, QIODevice &source)
{
    if (!IsAlive())
        return false;
    bool transferred = false;
    bool started = false;
    if (Passive) {
        auto &data = CreatePassiveDataConnection(command);
        const auto release = qScopeGuard([this] { m_data.reset(); });
        if (data.OpenConnection()) {
            const auto close = qScopeGuard([&] {
                CloseQuietly(data);
                SetActivity(1);
            });
            const int code = ReadReply({110, 125, 150});
            started = code == 125 || code == 150;
            if (started) {
                SecureDataConnection(data);
                SetActivity(3);
                transferred = Upload(data, source);
            }
        }
    } else {
        auto &data = CreateListeningDataConnection();
        const auto release = qScopeGuard([this] {
            if (sessionHost())
                sessionHost()->SetTransferActive(false);
            SetActivity(1);
            m_data.reset();
        });
        SetActivity(3);
        AnnouncePort(data.ListenBinding());
        started = SendCheckedList(command, {125, 150}) != 0;
        if (started && data.AcceptConnection()) {
            SecureDataConnection(data);
            SetActivity(3);
            transferred = Upload(data, source);
        }
    }
    return started && ReadFinalReply(transferred);
}

// Sends the source from its current position. Abort cuts the data connection
// under a running upload; that ends the upload without an error.
bool TIdFTP::Upload(TIdTCPConnection &connection, QIODevice &source)
{
    try {
        connection.WriteFromStream(source, false, false);
        if (m_data->tls)
            m_data->tls->FinishSending();
        return true;
    } catch (const EIdConnClosedGracefully &) {
        return false;
    } catch (const EIdSocketError &) {
        if (sessionHost())
            sessionHost()->SetTransferActive(false);
        throw;
    }
}

// --- downloads and uploads -------------------------------------------------

bool TIdFTP::Retrieve(const QString &name, QIODevice &target)
{
    return ReceiveData(u"retr "_s + name, target, false);
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
