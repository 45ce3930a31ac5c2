#pragma once

// A saved SFTP connection that logs in to the test's sshd with the test
// user's password. Header only: the support library does not know profiles.

#include "connectionprofile.h"
#include "sshserver.h"

inline ConnectionProfile SftpProfileFor(const SshServer &server)
{
    ConnectionProfile profile;
    profile.Protokoll = FileProtocol::Sftp;
    profile.FTP_Server = server.host();
    profile.FTP_Port = QString::number(server.port());
    profile.FTP_User = server.user();
    profile.FTP_Pass = server.password();
    return profile;
}
