#pragma once

#include <QString>

#include <functional>

class SearchSession;
struct SearchHit;

// Fetches the files behind search hits with a session of its own: finds the
// saved connection of each hit's server, stays connected while the server
// stays the same, enters the hit's folder and downloads the file into a part
// file beside the target, which replaces the target only once complete.
class HitDownloader {
public:
    enum class Outcome {
        Saved,
        NoConnection,    // no saved connection has the hit's server
        UnfitProfile,    // the saved connection lacks host or port
        NotReached,      // the server could not be reached or refused the login
        FolderRefused,   // the hit's folder could not be entered
        DownloadRefused, // the server did not send the file
    };

    HitDownloader(SearchSession &session, const QString &treeFolder);

    // Before connecting for a hit whose profile is fit, for the progress display.
    std::function<void(const SearchHit &hit)> OnStarting;

    // Errors of the session and a local file that cannot be written are thrown.
    Outcome Save(const SearchHit &hit, const QString &localPath);
    // Ends the operation: the session quits.
    void Finish();

private:
    bool Connect(bool serverChanged);
    // False when the server did not send the file; nothing is left behind then.
    bool Download(const SearchHit &hit, const QString &localPath);

    SearchSession &m_session;
    QString m_treeFolder;
    QString m_lastServer;
};
