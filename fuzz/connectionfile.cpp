// A connection file (".glimra") of any content: applying it never turns on
// SSL, and its profile, saved again, reads back unchanged.
#include "connectionprofile.h"
#include "fuzzsupport.h"
#include "tidftp.h"
#include "tinifile.h"

#include <QFile>

namespace {

void CheckSameProfile(const ConnectionProfile &a, const ConnectionProfile &b)
{
    using P = ConnectionProfile;
    for (QString P::*text : {&P::FTP_Server, &P::FTP_Port, &P::FTP_User, &P::FTP_Pass, &P::Proxy_Server,
                             &P::Proxy_Port, &P::FW_User, &P::FW_Pass, &P::Socket_Host, &P::Socket_Port,
                             &P::Socket_User, &P::Socket_Pass, &P::FTPOrdner, &P::LocalFolder, &P::TimeDifvz,
                             &P::RootCertificateFile, &P::KeyFile, &P::CertificateFile, &P::SSLPassword})
        FUZZ_CHECK(a.*text == b.*text);
    for (int P::*number : {&P::FW_Art, &P::Timeout, &P::Maxentry, &P::SSLMethod, &P::SSLDepth})
        FUZZ_CHECK(a.*number == b.*number);
    for (bool P::*flag : {&P::anonymous, &P::FTP_Passive, &P::Proxy_Use, &P::FW_Use, &P::Socket_Use, &P::Log,
                          &P::MLSD, &P::DateTimeNo, &P::DateTimeManuel, &P::ssl, &P::SSLPasswordask,
                          &P::SSLPeer, &P::SSLPeerCert, &P::SSLClientOnce})
        FUZZ_CHECK(a.*flag == b.*flag);
}

void CheckSavedAgain(const TIniFile &file)
{
    const QStringList sections = file.ReadSections();
    if (sections.isEmpty())
        return;
    const std::optional<ConnectionProfile> profile = ConnectionProfile::Read(file, sections.first());
    FUZZ_CHECK(profile.has_value());
    const QString copyName = Fuzz::ScratchFolder() + QStringLiteral("/copy.glimra");
    QFile::remove(copyName);
    {
        TIniFile copy(copyName);
        if (!profile->Write(copy, sections.first()))
            return;
        FUZZ_CHECK(copy.UpdateFile());
    }
    const TIniFile copy(copyName);
    const std::optional<ConnectionProfile> reread = ConnectionProfile::Read(copy, sections.first());
    FUZZ_CHECK(reread.has_value());
    CheckSameProfile(*profile, *reread);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString fileName = Fuzz::WriteScratchFile(
        QStringLiteral("fuzz.glimra"), QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (fileName.isEmpty())
        return 0;
    TIdFTP session;
    if (ApplyConnectionFile(fileName, session))
        FUZZ_CHECK(!session.UseSSL);
    CheckSavedAgain(TIniFile(fileName));
    return 0;
}
