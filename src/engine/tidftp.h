#pragma once

#include "remotefilesystem.h"
#include "tidtcpclient.h"
#include "timecorrection.h"

#include <QElapsedTimer>
#include <QStringList>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

class QDateTime;
class QFileDevice;
class QIODevice;
class TIdConnectionInterceptOpenSSL;
class TIdSimpleServer;

// An FTP session: login (direct or through one of five proxy styles),
// transfer type, passive and active data connections, transfers, the
// directory and file commands and the feature probe.
class TIdFTP : public TIdTCPClient, public RemoteFileSystem {
public:
    // Data connections move files in chunks of this size unless the caller
    // sets RecvBufferSize/SendBufferSize: on loopback, 128 KiB chunks take
    // a third of the processor time per GiB that 32 KiB chunks take.
    static constexpr int kTransferBufferSize = 128 * 1024;
    // A folder listing larger than this is refused: a server that never
    // ends its listing must not take all memory.
    static constexpr qint64 kDefaultMaxListingSize = qint64(64) * 1024 * 1024;

    TIdFTP();
    ~TIdFTP() override;

    // --- the file system's session ------------------------------------------
    Protocol Kind() const override { return Protocol::Ftp; }
    TIdFTP *Ftp() override { return this; }
    bool Encrypted() const override { return UseSSL; }
    bool IsConnected() const override { return TIdTCPClient::IsConnected(); }
    QString LastReplyLine() const override { return TIdTCPClient::LastReplyLine(); }
    void KeepAlive() override { SendChecked(QStringLiteral("NOOP"), 200); }
    RemoteServer Server() const override { return {Host, Port, User}; }
    NameEncoding NamesEncoding() const override { return Encoding; }
    void SetNamesEncoding(NameEncoding encoding) override { Encoding = encoding; }
    bool LastRequestSucceeded() const override { return ReplyCode() / 100 == 2; }
    bool ListsWithFacts(const QStringList &features) const override;
    const ::TimeCorrection &ListingTimeCorrection() const override { return TimeCorrection; }
    std::unique_ptr<RemoteFileSystem> NewSessionLikeThis() const override;
    // Status texts, and with withCommands the commands and replies, go to
    // traffic through a layer the session owns: TLS for a TLS session (which
    // logs no traffic lines), a traffic log otherwise.
    void ReportTrafficTo(const TrafficReport &traffic, bool withCommands) override;
    void ReportProgressTo(const ProgressReport &progress) override;
    // The connection settings and login of another session to the same server.
    void CopySettingsFrom(const TIdFTP &other);

    // --- settings (filled from a connection profile) --------------------
    QString User;
    QString Password;
    bool Passive = false;
    bool Gateway_Use = false;
    QString Gateway_Host;
    quint16 Gateway_Port = 0;
    bool Gateway_Authenticate = false;
    QString Gateway_User;
    QString Gateway_Password;
    int Gateway_Art = 0;
    bool MListart = false;
    bool isSearch = false;
    bool UseSSL = false;
    // With UseSSL: the control connection starts in clear and is secured
    // after AUTH TLS (explicit TLS) instead of from the first byte.
    bool SSLExplicit = false;
    QString RootCertificateFile;
    QString KeyFile;
    QString CertificateFile;
    QString SSLPassword;
    bool SSLPasswordask = false;
    // Server certificates the user accepted before (host, port, fingerprint);
    // empty for none.
    QString KnownCertificatesFile;
    int SSLMethod = 0;
    int SSLDepth = 0;
    bool SSLPeer = false;
    bool SSLPeerCert = false;
    bool SSLClientOnce = false;
    ::TimeCorrection TimeCorrection;
    qint64 MaxListingSize = kDefaultMaxListingSize;
    // Passive data connections go to the address the PASV reply names, as
    // clients once did, instead of the server's own address. Only for
    // setups where the data comes from another host on purpose.
    bool TrustPassiveAddress = false;

    // --- state -----------------------------------------------------------
    bool LoggedIn() const override { return m_loggedIn; }
    void SetLoggedIn(bool loggedIn) { m_loggedIn = loggedIn; }
    // From SYST after login: " UNIX Type: L8", or "Unbekannt".
    const QString &SystemType() const { return m_systemType; }
    TIdFTPTransferType TransferType() const { return m_transferType; }
    void SetTransferType(TIdFTPTransferType type) override;
    void SendTransferType();
    bool HasDataConnection() const;

    // --- session ---------------------------------------------------------
    void ConnectAndLogin() override;
    bool IsAlive() override;
    int SendChecked(const QString &command, int allowedCode);
    int SendCheckedList(const QString &command, const QList<int> &allowedCodes);
    // Stops the running transfer: ABOR once its command has gone out, and
    // the data connection cut. Outside a transfer it sends nothing.
    void Abort() override;
    // Reads what the server still owes for an aborted or broken transfer,
    // so that the next command gets its own reply. Transfers do this before
    // they return; when nothing is owed it sends nothing.
    void SkipRepliesAfterAbort();
    void CloseDataConnection();
    void Quit() override;

    // --- transfers -------------------------------------------------------
    bool Retrieve(const QString &name, QIODevice &target) override;
    bool RetrieveToFile(const QString &name, const QString &localPath, bool mayOverwrite = true);
    bool Store(QIODevice &source, const QString &name, bool append = false) override;
    bool StoreFile(const QString &localPath, const QString &name, bool append = false) override;
    // Continues a download: REST offset, then RETR, the data written into
    // target from the offset on. A server that refuses REST sends the whole
    // file, which then replaces what target held.
    bool RetrieveFrom(const QString &name, QFileDevice &target, qint64 offset) override;
    // Continues an upload with the bytes of source from the offset on: REST
    // offset, then STOR; where REST is refused, APPE; where that is refused
    // too, the whole file with STOR. The remote file must hold offset bytes.
    bool StoreFrom(QIODevice &source, const QString &name, qint64 offset) override;
    // The server refused REST during the last RetrieveFrom or StoreFrom,
    // which then fell back as they describe (and said so in the status log).
    bool RestartRefused() const override { return m_restartRefused; }
    // The file size the server named in its 150 reply to the last transfer
    // ("... (1234 bytes)"); -1 when it named none.
    qint64 AnnouncedSize() const override { return m_announcedSize; }
    static qint64 AnnouncedSizeIn(const QStringList &replyLines);
    // Another Retrieve follows the next one: its EPSV goes out as soon as
    // the next one's final reply is in, and the server opens the data port
    // while the file just received is put in place. Only to a server that
    // answered the last EPSV within PassiveAheadWithinNs: asking early wins
    // at most the time the caller takes to put the file in place, and a
    // server that reads a command only once it answered the one before
    // would then see the transfer command later than together with EPSV.
    void AnnounceNextRetrieve(const QString &name, qint64 size) override;
    qint64 PassiveAheadWithinNs = 2'000'000;
    bool ReceiveData(const QString &command, QIODevice &target, bool listingVariant);
    bool SendData(const QString &command, QIODevice &source);

    // --- directory and file commands --------------------------------------
    void List(QStringList &target, const QString &specifier = QString(), bool details = true) override;
    void ListFacts(QStringList &target, const QString &specifier = QString()) override;
    void ProbeFeatures(QStringList &features);
    static bool HasFeature(const QStringList &features, const QString &word);
    QString CurrentDir() override;
    // The same PWD, read to the quote that ends the path: doubled quotes
    // inside it ("/a""b") stand for one. Empty when no path is quoted.
    QString CurrentFolderPath() override;
    bool ChangeDir(const QString &path) override;
    bool ChangeDirUp() override;
    bool MakeDir(const QString &path) override;
    bool RemoveDir(const QString &path) override;
    bool RemoveFile(const QString &path) override;
    bool Rename(const QString &oldName, const QString &newName) override;
    qint64 FileSize(const QString &path) override;
    // MFMT: gives the remote file a modification time (sent in UTC, to the
    // second). Only for servers whose features name MFMT.
    bool SetModifiedTime(const QString &path, const QDateTime &modified) override;

    // The passive and active steps, public for tests of odd replies.
    struct PassiveTarget {
        QString address;
        int port = 0;
    };
    // PASV.
    PassiveTarget EnterPassive();
    // EPSV; nothing when the server refuses it.
    std::optional<PassiveTarget> EnterExtendedPassive();
    std::optional<PassiveTarget> ReadExtendedPassiveReply();
    // EPSV, or PASV when the server refused EPSV before in this session.
    PassiveTarget EnterPassiveMode();
    // PORT, or EPRT for an IPv6 address.
    void AnnouncePort(const TIdSocketHandle &listening);

    // Whether data connections run TLS (the server accepted PROT P).
    bool ProtectsData() const { return m_protectData; }

private:
    void BeforeWritingLine() override;
    void SendPassiveAhead();
    bool TakePassiveSentAhead();
    struct DataChannel;
    struct TransferState;
    // Moves the data of a transfer over its open data connection.
    using DataMover = std::function<void(TIdTCPConnection &data)>;

    // --- login ------------------------------------------------------------
    bool Prompt(const QString &hostName, QString &user, QString &password, bool connected);
    bool LogIn(const QString &hostName, QString &user, QString &password,
               const std::function<bool()> &dialogue);
    bool UserPassDialogue(const QString &userCommand, const QString &password, const QList<int> &userCodes);
    bool ProxyDialogue(const QString &targetHost, quint16 targetPort);
    bool LastReplyAccepted() const;
    void StartExplicitTls(TIdConnectionInterceptOpenSSL &tls);
    void CompleteLogin();
    void EndRefusedLogin();
    void ReadHelpWords(QStringList &features);
    void ReadFeatureLines(QStringList &features);

    // --- data connections --------------------------------------------------
    TIdConnectionInterceptOpenSSL *TlsLayer() const;
    template <class Connection> Connection &CreateDataConnection();
    TIdSimpleServer &CreateListeningDataConnection();
    void SecureDataConnection(TIdTCPConnection &connection);
    void ReleaseDataConnection();
    void Upload(TIdTCPConnection &connection, QIODevice &source);

    // --- one transfer, from PASV or PORT to the last reply ------------------
    // restartAt: when above 0, REST goes out right before the command.
    bool RunTransfer(const QString &command, const QList<int> &preliminaryCodes, const DataMover &moveData,
                     qint64 restartAt = 0);
    bool TransferPassive(const QString &command, const QList<int> &preliminaryCodes,
                         const DataMover &moveData);
    bool TransferActive(const QString &command, const QList<int> &preliminaryCodes,
                        const DataMover &moveData);
    bool AskToRestart();
    std::optional<PassiveTarget> SendWithExtendedPassive(const QString &command);
    void SendTransferCommand(const QString &command);
    bool ReadPreliminaryReply(const QList<int> &positiveCodes);
    bool FinishTransfer(bool dataMoved, const std::exception_ptr &failure);
    bool ReadFinalReply();
    void StopTransferOnServer();
    void StopTransferAfterFailure();
    void SkipToOwnReply();
    QStringList ReceiveListing(const QString &command, bool listingVariant);
    DataMover ReceiveFileFrom(QFileDevice &target, qint64 start);
    bool SendDataFrom(const QString &command, QIODevice &source, qint64 start, qint64 restartAt = 0);
    void ReportStatus(const QString &text);

    std::unique_ptr<TIdConnectionIntercept> m_reportingLayer;
    std::unique_ptr<DataChannel> m_data;
    std::unique_ptr<TransferState> m_transfer;
    // ABOR went out, or a transfer broke off: replies may still come that
    // belong to no command sent since.
    bool m_repliesOwed = false;
    // What the server refused in the last transfer, before any data moved.
    enum class Refusal { None, Restart, Command };
    Refusal m_refusal = Refusal::None;
    bool m_restartRefused = false;
    qint64 m_announcedSize = -1;
    bool m_loggedIn = false;
    bool m_protectData = false;
    bool m_extendedPassiveRefused = false;
    // EPSV was answered on this session: the next ones go out together with
    // their transfer command.
    bool m_extendedPassiveWorks = false;
    // A Retrieve was announced to follow the next one.
    bool m_retrieveFollows = false;
    // An EPSV sent ahead whose reply is still to be read, and since when.
    bool m_passiveSentAhead = false;
    QElapsedTimer m_passiveSentAheadAt;
    // How long the server took to answer the last EPSV sent with its
    // transfer command; -1 before the first.
    qint64 m_passiveReplyNs = -1;
    QString m_systemType;
    TIdFTPTransferType m_transferType = ftBinary;
};
