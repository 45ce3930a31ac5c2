#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// A server as users write it: a name or an address, optionally with a port.
// "ftp.example.org", "192.0.2.7:2121", "::1", "[::1]" and "[::1]:2121" all
// work; a bare IPv6 address has no port, since its colons are its own.
struct HostPort {
    QString host; // without brackets
    std::optional<int> port;

    static HostPort Parse(QStringView text);
};

// An IPv6 address in brackets ("[::1]"), any other host as it is: the form
// that may be followed by ":port".
QString BracketedHost(const QString &host);

// Whether two host texts name the same server: texts that are equal without
// regard to case, or that name the same address in any spelling, with or
// without brackets and port ("::1", "[0:0::1]:21").
bool IsSameHost(const QString &first, const QString &second);
