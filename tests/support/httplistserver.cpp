#include "httplistserver.h"

#include "selfsignedcertificate.h"
#include "serverprocess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

constexpr int kStartTimeoutMs = 15000;

QString Script()
{
    return QStringLiteral(GLIMRA_SUPPORT_DIR "/http_list_server.py");
}

} // namespace

HttpListServer::HttpListServer(bool tls)
    : m_tls(tls)
    , m_dir(std::make_unique<QTemporaryDir>())
{
    QDir().mkpath(m_dir->filePath(u"root"_s));
}

HttpListServer::~HttpListServer() = default;

bool HttpListServer::start(QString *error)
{
    m_process = std::make_unique<ServerProcess>();
    // -I: only the system's modules, whatever the test's environment says.
    QStringList arguments{u"-I"_s,           Script(),
                          u"--root"_s,       m_dir->filePath(u"root"_s),
                          u"--transcript"_s, m_dir->filePath(u"transcript.txt"_s)};
    if (m_tls) {
        const auto certificate = SelfSignedCertificate::get(error);
        if (!certificate)
            return false;
        arguments << u"--certificate"_s << certificate->certificateFile << u"--key"_s << certificate->keyFile;
    }
    if (!m_process->start(u"/usr/bin/python3"_s, arguments, m_dir->filePath(u"server.log"_s),
                          ServerProcess::Output::Pipe, error))
        return false;
    const QByteArray line = m_process->readLine(QDeadlineTimer(kStartTimeoutMs));
    if (line.startsWith("PORT "))
        m_port = line.mid(5).toInt();
    if (m_port > 0)
        return true;
    if (error) {
        QFile log(m_dir->filePath(u"server.log"_s));
        *error = u"the HTTP server did not come up: "_s +
                 (log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString());
    }
    return false;
}

QString HttpListServer::url(const QString &path) const
{
    return u"%1://127.0.0.1:%2/%3"_s.arg(m_tls ? u"https"_s : u"http"_s).arg(m_port).arg(path);
}

bool HttpListServer::addFile(const QString &relativePath, const QByteArray &content)
{
    const QString path = m_dir->filePath(u"root/"_s + relativePath);
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

QString HttpListServer::transcript() const
{
    QFile file(m_dir->filePath(u"transcript.txt"_s));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
