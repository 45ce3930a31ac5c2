#include "applicationsettings.h"

#include "tinifile.h"

#include <algorithm>
#include <variant>

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"StartUp"_s;

// A key stored as it stands in one member; its default is the member's
// initial value.
struct PlainKey {
    QString name;
    std::variant<int ApplicationSettings::*, bool ApplicationSettings::*> field;
};

using KeyRun = std::initializer_list<PlainKey>;
using S = ApplicationSettings;

// The plain keys in write order, in the runs between the keys that come
// from the window's layout. The saved window rectangle is only read: at
// close the window's current one is written.
const KeyRun kViewKeys{{u"Ansicht_Lokal"_s, &S::Ansicht_Lokal},
                       {u"Ansicht_FTP"_s, &S::Ansicht_FTP},
                       {u"Ansicht_Lokal_Save"_s, &S::Ansicht_Lokal_Save},
                       {u"Ansicht_FTP_Save"_s, &S::Ansicht_FTP_Save},
                       {u"Autoan_Lokal"_s, &S::Autoan_Lokal},
                       {u"Autoan_FTP"_s, &S::Autoan_FTP},
                       {u"Last_Folder"_s, &S::Last_Folder}};
const KeyRun kBehaviourKeys{{u"Size_Save"_s, &S::Size_Save},
                            {u"Pos_Save"_s, &S::Pos_Save},
                            {u"No_Prompt_Overwrite"_s, &S::No_Prompt_Overwrite},
                            {u"New_Only"_s, &S::New_Only},
                            {u"All_Delete"_s, &S::All_Delete},
                            {u"Delete_Confirm"_s, &S::Delete_Confirm},
                            {u"WSTime_Use"_s, &S::WSTime_Use},
                            {u"Parallel_Transfers"_s, &S::Parallel_Transfers}};
const KeyRun kRectangleKeys{{u"Left"_s, &S::Left},
                            {u"Top"_s, &S::Top},
                            {u"Right"_s, &S::Right},
                            {u"Bottom"_s, &S::Bottom},
                            {u"Maximized"_s, &S::Maximized}};
const KeyRun kThumbnailAndSortKeys{{u"VLeft"_s, &S::VLeft},
                                   {u"VTop"_s, &S::VTop},
                                   {u"VRight"_s, &S::VRight},
                                   {u"VBottom"_s, &S::VBottom},
                                   {u"searchlist_s"_s, &S::searchlist_s},
                                   {u"searchlist_r"_s, &S::searchlist_r},
                                   {u"ftplist_s"_s, &S::ftplist_s},
                                   {u"ftplist_r"_s, &S::ftplist_r}};
const KeyRun kSlideshowKeys{{u"DiaXt"_s, &S::DiaXt},
                            {u"DiaY"_s, &S::DiaY},
                            {u"DiaColor"_s, &S::DiaColor},
                            {u"DiaShow"_s, &S::DiaShow}};
const KeyRun kSessionKeys{{u"KeepAlive"_s, &S::KeepAlive},
                          {u"Keep_Upload_Time"_s, &S::Keep_Upload_Time},
                          {u"Passwords_Keyring"_s, &S::Passwords_Keyring}};

void ReadRun(const TIniFile &ini, const KeyRun &keys, ApplicationSettings &settings)
{
    const ApplicationSettings defaults;
    for (const PlainKey &key : keys) {
        if (const auto *number = std::get_if<int S::*>(&key.field))
            settings.*(*number) = ini.ReadInteger(kSection, key.name, defaults.*(*number));
        else if (const auto *flag = std::get_if<bool S::*>(&key.field))
            settings.*(*flag) = ini.ReadBool(kSection, key.name, defaults.*(*flag));
    }
}

void WriteRun(TIniFile &ini, const KeyRun &keys, const ApplicationSettings &settings)
{
    for (const PlainKey &key : keys) {
        if (const auto *number = std::get_if<int S::*>(&key.field))
            ini.WriteInteger(kSection, key.name, settings.*(*number));
        else if (const auto *flag = std::get_if<bool S::*>(&key.field))
            ini.WriteBool(kSection, key.name, settings.*(*flag));
    }
}

int InRangeOr(int value, int first, int last, int fallback)
{
    return value >= first && value <= last ? value : fallback;
}

int DirectionOrAscending(int value)
{
    return value == 1 ? 1 : -1;
}

QString ColumnKey(const QString &prefix, int column)
{
    return prefix + QString::number(column);
}

void ReadColumns(const TIniFile &ini, const QString &prefix, std::array<int, S::kColumnSlots> &widths)
{
    for (int column = 0; column < S::kColumnSlots; ++column)
        widths[column] = ini.ReadInteger(kSection, ColumnKey(prefix, column), 0);
}

} // namespace

void ApplicationSettings::Read(const TIniFile &ini)
{
    for (const KeyRun &run :
         {kViewKeys, kBehaviourKeys, kRectangleKeys, kThumbnailAndSortKeys, kSlideshowKeys, kSessionKeys})
        ReadRun(ini, run, *this);
    Folder = ini.ReadString(kSection, u"Folder"_s, QString());
    Split1 = ini.ReadFloat(kSection, u"Split1"_s, 0);
    Split2 = ini.ReadFloat(kSection, u"Split2"_s, 0);
    ReadColumns(ini, u"Left_Col"_s, Left_Col);
    ReadColumns(ini, u"Right_Col"_s, Right_Col);
    ReadColumns(ini, u"Search_Col"_s, Search_Col);

    // A view number the lists do not know falls back to the details view.
    Ansicht_Lokal = InRangeOr(Ansicht_Lokal, 0, 3, kDetailsView);
    Ansicht_FTP = InRangeOr(Ansicht_FTP, 0, 3, kDetailsView);
    searchlist_s = InRangeOr(searchlist_s, 0, 5, 0);
    searchlist_r = DirectionOrAscending(searchlist_r);
    ftplist_s = InRangeOr(ftplist_s, 0, 3, 0);
    ftplist_r = DirectionOrAscending(ftplist_r);
    Parallel_Transfers = std::clamp(Parallel_Transfers, 1, kMaxParallelTransfers);
    KeepAlive = std::clamp(KeepAlive, 0, kMaxKeepAlive);
}

void ApplicationSettings::Write(TIniFile &ini, const ClosingLayout &layout) const
{
    WriteRun(ini, kViewKeys, *this);
    ini.WriteString(kSection, u"Folder"_s, layout.folder);
    WriteRun(ini, kBehaviourKeys, *this);
    if (layout.splitArea.width() != 0)
        ini.WriteFloat(kSection, u"Split1"_s, double(layout.paneBarPosition) / layout.splitArea.width());
    if (layout.splitArea.height() != 0)
        ini.WriteFloat(kSection, u"Split2"_s, double(layout.logBarPosition) / layout.splitArea.height());
    const QRect &window = layout.windowRect;
    ini.WriteInteger(kSection, u"Left"_s, window.x());
    ini.WriteInteger(kSection, u"Top"_s, window.y());
    ini.WriteInteger(kSection, u"Right"_s, window.x() + window.width());
    ini.WriteInteger(kSection, u"Bottom"_s, window.y() + window.height());
    ini.WriteBool(kSection, u"Maximized"_s, layout.maximized);
    WriteRun(ini, kThumbnailAndSortKeys, *this);
    for (int column = 0; column < kColumnSlots; ++column) {
        if (column < layout.localColumnWidths.size())
            ini.WriteInteger(kSection, ColumnKey(u"Left_Col"_s, column), layout.localColumnWidths[column]);
        if (column < layout.remoteColumnWidths.size())
            ini.WriteInteger(kSection, ColumnKey(u"Right_Col"_s, column), layout.remoteColumnWidths[column]);
        if (column < layout.searchColumnWidths.size())
            ini.WriteInteger(kSection, ColumnKey(u"Search_Col"_s, column), layout.searchColumnWidths[column]);
    }
    WriteRun(ini, kSlideshowKeys, *this);
    WriteRun(ini, kSessionKeys, *this);
}
