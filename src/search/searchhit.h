#pragma once

#include <QString>

// A file the search found: one row of the search results.
struct SearchHit {
    QString name;
    QString server;     // the connection's FTP_Server, trimmed
    QString folder;     // the full remote folder path
    QString sizeText;   // as listed
    QString dateText;   // as listed
    QString attributes; // as listed

    friend bool operator==(const SearchHit &, const SearchHit &) = default;
};
