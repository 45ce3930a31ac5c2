#include "tinyproxyserver.h"

#include "freeport.h"
#include "serverprocess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

const QString kTinyproxy = u"/usr/bin/tinyproxy"_s;
constexpr int kStartTimeoutMs = 15000;
constexpr int kAttempts = 5;

} // namespace

TinyProxyServer::TinyProxyServer(const QString &user, const QString &password)
    : m_user(user)
    , m_password(password)
    , m_dir(std::make_unique<QTemporaryDir>())
{
}

TinyProxyServer::~TinyProxyServer() = default;

bool TinyProxyServer::isAvailable(QString *why)
{
    if (QFileInfo(kTinyproxy).isExecutable())
        return true;
    if (why)
        *why = u"tinyproxy is not installed"_s;
    return false;
}

bool TinyProxyServer::start(QString *error)
{
    if (!isAvailable(error))
        return false;
    // tinyproxy cannot bind port 0 and tell us; a port taken in the meantime
    // makes it exit, and the next attempt takes another one.
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (launchOnce(FreeLocalPort(), error))
            return true;
    }
    return false;
}

bool TinyProxyServer::launchOnce(int port, QString *error)
{
    const QString config = writeConfig(port);
    m_process = std::make_unique<ServerProcess>();
    if (config.isEmpty() ||
        !m_process->start(kTinyproxy, {u"-d"_s, u"-c"_s, config}, m_dir->filePath(u"output.log"_s),
                          ServerProcess::Output::Log, error))
        return false;
    if (m_process->waitUntilListening(port, QDeadlineTimer(kStartTimeoutMs))) {
        m_port = port;
        return true;
    }
    if (error)
        *error = u"tinyproxy did not come up: "_s + log();
    m_process.reset();
    return false;
}

QString TinyProxyServer::writeConfig(int port) const
{
    const QStringList lines{
        u"Port %1"_s.arg(port),
        u"Listen 127.0.0.1"_s,
        u"Timeout 30"_s,
        u"MaxClients 20"_s,
        u"Allow 127.0.0.1"_s,
        u"BasicAuth %1 %2"_s.arg(m_user, m_password),
        u"DisableViaHeader Yes"_s,
        u"LogLevel Info"_s,
        u"LogFile \"%1\""_s.arg(m_dir->filePath(u"tinyproxy.log"_s)),
        u"PidFile \"%1\""_s.arg(m_dir->filePath(u"tinyproxy.pid"_s)),
    };
    const QString path = m_dir->filePath(u"tinyproxy.conf"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(lines.join(u'\n').toUtf8() + '\n') < 0)
        return {};
    return path;
}

QString TinyProxyServer::log() const
{
    QFile file(m_dir->filePath(u"tinyproxy.log"_s));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
