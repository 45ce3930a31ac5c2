#pragma once

#include "listdownload.h"

#include <QString>
#include <QStringView>
#include <QUrl>

#include <optional>

class TIniFile;

// Where the published list is fetched from unless the settings file names
// another address (key Update_URL of section StartUp).
inline constexpr QStringView kDefaultUpdateUrl = u"http://update.glimra.example/updates/FTPAdressen.txt";

// The list's address as the settings file names it, else the default.
QString UpdateListAddress(const TIniFile &settings);
// The address as a URL to fetch: only http and https with a host, since
// the address comes from a file a user edits.
std::optional<QUrl> UpdateListUrl(const QString &address);

// The update window's HTTP proxy, kept in the StartUp section of the
// settings file, which the window reads and writes itself: the main
// window's settings leave these keys alone. Fields as typed.
struct UpdateProxySettings {
    QString server;
    QString port;
    bool authenticate = false;
    QString user;
    QString password;

    static UpdateProxySettings Read(const TIniFile &settings);
    // Server, port and user trimmed, the password scrambled.
    void Write(TIniFile &settings) const;

    // The proxy for the download: the host and user trimmed, the port 80
    // when it is no port number, the password as typed; a login only when
    // asked for.
    HttpProxy ToHttpProxy() const;
};
