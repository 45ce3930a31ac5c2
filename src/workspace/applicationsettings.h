#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>

class TIniFile;

// What only the running window knows when it closes and the settings are
// written: the local folder, the window rectangle, the split area with its
// two bars, and the widths of the columns that exist.
struct ClosingLayout {
    QString folder;
    QRect windowRect;       // the normal (not maximized) inner rectangle, without the frame
    bool maximized = false; // the window was maximized
    QSize splitArea;
    int paneBarPosition = 0; // x of the bar between local and remote pane
    int logBarPosition = 0;  // y of the bar between the panes and the log
    QList<int> localColumnWidths;
    QList<int> remoteColumnWidths;
    QList<int> searchColumnWidths; // empty while the search results window does not exist
};

// The StartUp section of the settings file, held in memory while the
// program runs. Member names are the key names.
class ApplicationSettings {
public:
    static constexpr int kColumnSlots = 6;
    static constexpr int kDetailsView = 3;
    static constexpr int kDefaultParallelTransfers = 4;
    static constexpr int kMaxParallelTransfers = 10;
    // Keep-alive intervals beyond an hour would outlast every server's patience.
    static constexpr int kMaxKeepAlive = 3600;

    void Read(const TIniFile &ini);
    // Writes every key in the fixed order; keys of other owners in the same
    // section stay untouched.
    void Write(TIniFile &ini, const ClosingLayout &layout) const;

    int Ansicht_Lokal = kDetailsView;
    int Ansicht_FTP = kDetailsView;
    bool Ansicht_Lokal_Save = false;
    bool Ansicht_FTP_Save = false;
    bool Autoan_Lokal = false;
    bool Autoan_FTP = false;
    bool Last_Folder = false;
    QString Folder;
    bool Size_Save = false;
    bool Pos_Save = false;
    bool No_Prompt_Overwrite = false;
    bool New_Only = false;
    bool All_Delete = false;
    bool Delete_Confirm = true;
    bool WSTime_Use = true;
    // Connections that move the files of a folder transfer at once; 1 moves
    // them one after the other over the window's own session.
    int Parallel_Transfers = kDefaultParallelTransfers;
    double Split1 = 0;
    double Split2 = 0;
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    // Closed maximized: Left to Bottom hold the rectangle it had before.
    bool Maximized = false;
    int VLeft = 0;
    int VTop = 0;
    int VRight = 0;
    int VBottom = 0;
    int searchlist_s = 0;
    int searchlist_r = -1;
    int ftplist_s = 0;
    int ftplist_r = -1;
    std::array<int, kColumnSlots> Left_Col{};
    std::array<int, kColumnSlots> Right_Col{};
    std::array<int, kColumnSlots> Search_Col{};
    int DiaXt = 120;
    int DiaY = 120;
    int DiaColor = 16777215;
    bool DiaShow = false;
    // Seconds of quiet after which an idle session sends NOOP; 0 never.
    int KeepAlive = 60;
    // Uploaded files get the local file's time where the server offers MFMT.
    bool Keep_Upload_Time = true;
    // Saved passwords go to the desktop's keyring instead of the profiles.
    bool Passwords_Keyring = false;
};
