#pragma once

#include <QString>

enum TSocksAuthentication { saNoAuthentication, saUsernamePassword };
enum TSocksVersion { svNoSocks, svSocks4, svSocks4A, svSocks5 };

// SOCKS settings carried by every client. Nothing in the program sets a
// version, so connections always go directly to their host.
struct TSocksInfo {
    TSocksAuthentication Authentication = saNoAuthentication;
    QString Host;
    int Port = 0;
    QString UserID;
    QString Password;
    TSocksVersion Version = svNoSocks;
};
