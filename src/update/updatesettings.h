#pragma once

#include "listdownload.h"

#include <QString>
#include <QStringView>

class TIniFile;

// Where the published list is fetched from unless the settings file names
// another address (key Update_URL of section StartUp).
inline constexpr QStringView kDefaultUpdateUrl = u"http://update.glimra.example/updates/FTPAdressen.txt";

QString UpdateListUrl(const TIniFile &settings);

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
