#include "connectiontreestore.h"

#include "desktoplauncher.h"
#include "hostport.h"
#include "passwordstore.h"
#include "tinifile.h"
#include "treefiles.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;
using namespace TreeFiles;

namespace {

constexpr QStringView kNewGroupName = u"Neue Gruppe";
constexpr QStringView kBackupFileName = u"Kopie von inhalt.ini";
constexpr QStringView kForbiddenGroupCharacters = u"/\\:*?\"<>|";

bool SameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool HasForbiddenCharacter(const QString &name)
{
    for (QChar ch : kForbiddenGroupCharacters) {
        if (name.contains(ch))
            return true;
    }
    return false;
}

// A group folder under these names would take the place of its parent's
// connection file or of that file's backup copy.
bool IsReservedGroupName(const QString &name)
{
    return SameName(name, kConnectionFileName.toString()) || SameName(name, kBackupFileName.toString());
}

bool ExistsIn(const QString &folder, const QString &name)
{
    return !FindIgnoringCase(folder, name).isEmpty();
}

// Copies a section key by key; the INI rules put each key directly under the
// header and drop keys without a value.
void CopySection(const TIniFile &source, const QString &from, TIniFile &target, const QString &to)
{
    for (const QString &key : source.ReadSection(from))
        target.WriteString(to, key, source.ReadString(from, key, QString()));
}

} // namespace

ConnectionTreeStore::ConnectionTreeStore(const QString &rootFolder)
    : m_root(rootFolder)
{
}

// --- paths -------------------------------------------------------------------

// Group names compare ignoring case, as in the tree: "linux" is the
// folder "Linux" when that exists.
QString ConnectionTreeStore::GroupFolder(const QString &groupPath) const
{
    QString folder = m_root;
    for (const QString &name : groupPath.split(u'/', Qt::SkipEmptyParts)) {
        const QString existing = FindIgnoringCase(folder, name);
        folder = existing.isEmpty() ? JoinPath(folder, name) : existing;
    }
    return folder;
}

QString ConnectionTreeStore::ConnectionFileOf(const QString &groupPath) const
{
    return ConnectionFileIn(GroupFolder(groupPath));
}

QString ConnectionTreeStore::FolderOf(const ConnectionTreeNode &group) const
{
    return JoinPath(GroupFolder(group.GroupPath()), group.Text());
}

QString ConnectionTreeStore::ConnectionFileOf(const ConnectionTreeNode &node) const
{
    return ConnectionFileOf(node.GroupPath());
}

// --- loading -----------------------------------------------------------------

void ConnectionTreeStore::LoadConnectionTree(ConnectionTree &tree) const
{
    tree.Clear();
    LoadFolder(tree, nullptr, m_root);
}

void ConnectionTreeStore::LoadFolder(ConnectionTree &tree, ConnectionTreeNode *parent,
                                     const QString &folder) const
{
    const QString connectionFile = ConnectionFileIn(folder);
    for (const QFileInfo &entry : Entries(folder)) {
        if (IsFolder(entry)) {
            ConnectionTreeNode *group =
                tree.AddNode(parent, ConnectionTreeNode::Kind::Group, entry.fileName());
            LoadFolder(tree, group, entry.filePath());
        } else if (entry.filePath() == connectionFile) {
            for (const QString &section : TIniFile(connectionFile).ReadSections())
                tree.AddNode(parent, ConnectionTreeNode::Kind::Connection, section);
        }
    }
}

// --- groups ------------------------------------------------------------------

ConnectionTreeNode *ConnectionTreeStore::CreateGroup(ConnectionTree &tree, ConnectionTreeNode *current) const
{
    ConnectionTreeNode *parent = current && current->IsConnection() ? current->Parent() : current;
    const QString parentFolder = parent ? FolderOf(*parent) : m_root;
    const QString name =
        FirstFreeName(kNewGroupName.toString(), QString(), u" "_s,
                      [&](const QString &candidate) { return ExistsIn(parentFolder, candidate); });
    if (!QDir(parentFolder).mkdir(name))
        return nullptr;
    return tree.AddNode(parent, ConnectionTreeNode::Kind::Group, name);
}

ConnectionTreeStore::RenameOutcome ConnectionTreeStore::RenameGroup(ConnectionTree &tree,
                                                                    ConnectionTreeNode &group,
                                                                    const QString &entered) const
{
    if (entered.trimmed().isEmpty() || entered == group.Text())
        return {};
    if (HasForbiddenCharacter(entered))
        return {false, u"Zeichen /\\:*?\"<>| sind nicht zulässig"_s};
    if (IsReservedGroupName(entered))
        return {false, u"Der Name \""_s + entered + u"\" ist für die Verbindungsdateien reserviert"_s};
    const QString parentFolder = GroupFolder(group.GroupPath());
    // Names are told apart ignoring case, as everywhere in the tree.
    if (ExistsIn(parentFolder, entered))
        return {false, u"Der Name \""_s + entered + u"\" wird bereits verwendet"_s};
    if (!MoveFolderTree(FolderOf(group), JoinPath(parentFolder, entered)))
        return {};
    tree.SetText(group, entered);
    return {true, QString()};
}

void ConnectionTreeStore::DeleteGroup(const ConnectionTreeNode &group) const
{
    RemoveFolderTree(FolderOf(group));
}

bool ConnectionTreeStore::MoveFolderTree(const QString &source, const QString &destination)
{
    if (!QFileInfo(destination).isDir() && !QDir().mkdir(destination))
        return false;
    for (const QFileInfo &entry : Entries(source)) {
        const QString target = JoinPath(destination, entry.fileName());
        if (IsFolder(entry))
            MoveFolderTree(entry.filePath(), target);
        else if (!MoveFile(entry.filePath(), target))
            break;
    }
    return QDir().rmdir(source);
}

// --- connections -------------------------------------------------------------

bool ConnectionTreeStore::RenameConnection(ConnectionTree &tree, ConnectionTreeNode &connection,
                                           const QString &entered) const
{
    if (entered.trimmed().isEmpty())
        return false;
    TIniFile ini(ConnectionFileOf(connection));
    if (!ini.SectionExists(connection.Text()) || ini.SectionExists(entered))
        return false;
    CopySection(ini, connection.Text(), ini, entered);
    ini.EraseSection(connection.Text());
    if (!ini.UpdateFile())
        return false;
    tree.SetText(connection, entered);
    return true;
}

void ConnectionTreeStore::DeleteConnection(const ConnectionTreeNode &connection) const
{
    TIniFile(ConnectionFileOf(connection)).EraseSection(connection.Text());
}

// --- moving ------------------------------------------------------------------

bool ConnectionTreeStore::MoveTreeItem(const ConnectionTreeNode *moved, const ConnectionTreeNode *target,
                                       QString *landedName) const
{
    if (!moved || !target || moved == target || target->IsInside(*moved))
        return false;
    // The group that receives the item: the target itself, or the target
    // connection's group (null: the top level).
    const ConnectionTreeNode *group = target->IsGroup() ? target : target->Parent();
    if (moved->Parent() == group)
        return false;
    const QString folder = group ? FolderOf(*group) : m_root;
    QString newName = moved->Text();
    bool done = false;
    if (moved->IsConnection())
        done = MoveSection(*moved, ConnectionFileIn(folder), newName);
    else if (!target->IsGroup() || !SameName(moved->Text(), target->Text()))
        done = MoveGroupInto(*moved, folder);
    if (done && landedName)
        *landedName = newName;
    return done;
}

bool ConnectionTreeStore::MoveGroupInto(const ConnectionTreeNode &group, const QString &folder) const
{
    if (IsReservedGroupName(group.Text()) || ExistsIn(folder, group.Text()))
        return false;
    MoveFolderTree(FolderOf(group), JoinPath(folder, group.Text()));
    return true;
}

bool ConnectionTreeStore::MoveSection(const ConnectionTreeNode &connection, const QString &destinationFile,
                                      QString &newName) const
{
    TIniFile source(ConnectionFileOf(connection));
    const QString name = connection.Text();
    if (!source.SectionExists(name))
        return false;
    TIniFile destination(destinationFile);
    newName = FirstFreeName(name, QString(), u" "_s, [&destination](const QString &candidate) {
        return destination.SectionExists(candidate);
    });
    CopySection(source, name, destination, newName);
    // The copy reaches the disk before the original goes.
    if (!destination.UpdateFile())
        return false;
    source.EraseSection(name);
    return source.UpdateFile();
}

// --- backups, shortcuts, look-up ----------------------------------------------

bool ConnectionTreeStore::VisitConnectionFiles(const QString &folder,
                                               const std::function<bool(const QString &)> &visit)
{
    const QString connectionFile = ConnectionFileIn(folder);
    for (const QFileInfo &entry : Entries(folder)) {
        bool stop = false;
        if (IsFolder(entry))
            stop = VisitConnectionFiles(entry.filePath(), visit);
        else if (entry.filePath() == connectionFile)
            stop = visit(connectionFile);
        if (stop)
            return true;
    }
    return false;
}

void ConnectionTreeStore::BackupConnectionFiles() const
{
    VisitConnectionFiles(m_root, [](const QString &file) {
        const QFileInfo info(file);
        CopyFile(file, JoinPath(info.path(), kBackupFileName.toString()));
        return false;
    });
}

std::optional<ConnectionTreeStore::ShortcutFiles>
ConnectionTreeStore::CreateConnectionShortcut(const ConnectionTreeNode &connection,
                                              const QString &linksFolder, const QString &desktopFolder,
                                              const QString &programPath) const
{
    if (!connection.IsConnection())
        return std::nullopt;
    const QString name = connection.Text();
    const TIniFile ini(ConnectionFileOf(connection));
    if (!ini.SectionExists(name) || linksFolder.isEmpty() || !QDir().mkpath(linksFolder))
        return std::nullopt;
    const auto fileExists = [](const QString &folder) {
        return [folder](const QString &candidate) { return QFileInfo(JoinPath(folder, candidate)).exists(); };
    };

    ShortcutFiles files;
    files.connectionFile = JoinPath(
        linksFolder, FirstFreeName(FileNameFor(name), u".glimra"_s, QString(), fileExists(linksFolder)));
    const QStringList lines = QStringList{u'[' + name + u']'} + ini.ReadSectionValues(name);
    if (!TIniFile::WriteLines(files.connectionFile, lines))
        return std::nullopt;
    files.connectionFile = QFileInfo(files.connectionFile).absoluteFilePath();

    if (desktopFolder.isEmpty() || !QDir().mkpath(desktopFolder))
        return files;
    const QString launcherPath = JoinPath(
        desktopFolder, FirstFreeName(FileNameFor(name), u".desktop"_s, QString(), fileExists(desktopFolder)));
    const DesktopLauncher launcher{
        name, name + u" - FTP Glimra Verbindung"_s, u"folder-remote"_s, programPath, {files.connectionFile}};
    if (launcher.WriteTo(launcherPath))
        files.launcher = launcherPath;
    return files;
}

std::optional<MainWindowValues> ConnectionTreeStore::ApplyConnection(const ConnectionTreeNode &connection,
                                                                     TIdFTP &session) const
{
    if (!connection.IsConnection())
        return std::nullopt;
    return ApplyProfile(TIniFile(ConnectionFileOf(connection)), connection.Text(), session,
                        ProfileReading::ConnectionManager, connection.GroupPath());
}

std::optional<MainWindowValues> ConnectionTreeStore::FindConnectionByServer(const QString &host,
                                                                            TIdFTP &session,
                                                                            ProfileReading reading) const
{
    if (host.isEmpty())
        return std::nullopt;
    std::optional<MainWindowValues> applied;
    VisitConnectionFiles(m_root, [&](const QString &file) {
        const TIniFile ini(file);
        for (const QString &section : ini.ReadSections()) {
            if (IsSameHost(ini.ReadString(section, u"FTP_Server"_s, QString()), host)) {
                applied = ApplyProfile(ini, section, session, reading, GroupPathOfFile(file));
                return true;
            }
        }
        return false;
    });
    return applied;
}

// --- single connections -------------------------------------------------------

bool ConnectionTreeStore::ConnectionExists(const QString &groupPath, const QString &name) const
{
    return TIniFile(ConnectionFileOf(groupPath)).SectionExists(name);
}

std::optional<ConnectionProfile> ConnectionTreeStore::ReadConnection(const QString &groupPath,
                                                                     const QString &name) const
{
    return ConnectionProfile::Read(TIniFile(ConnectionFileOf(groupPath)), name, groupPath);
}

std::optional<QString> ConnectionTreeStore::SaveConnection(const QString &groupPath,
                                                           const QString &originalName, const QString &name,
                                                           const ConnectionProfile &profile) const
{
    TIniFile ini(ConnectionFileOf(groupPath));
    const bool renamed = !originalName.isEmpty() && name != originalName;
    const bool takenByAnother = ini.SectionExists(name) && !SameName(name, originalName);
    if (name.isEmpty() || takenByAnother || !profile.PasswordsFitStorage() || !profile.PortsInRange())
        return std::nullopt;
    if (renamed)
        ini.EraseSection(originalName);
    profile.Write(ini, name, ProfileKeys::All, groupPath);
    if (!ini.UpdateFile())
        return std::nullopt;
    return name;
}

bool ConnectionTreeStore::AddConnection(const QString &groupPath, const QString &name,
                                        const ConnectionProfile &profile) const
{
    // The path comes from a downloaded list: it must stay inside the tree.
    const QStringList names = QString(groupPath).replace(u'\\', u'/').split(u'/', Qt::SkipEmptyParts);
    if (name.isEmpty() || names.contains(u"."_s) || names.contains(u".."_s) ||
        std::any_of(names.begin(), names.end(), IsReservedGroupName))
        return false;
    const QString folder = GroupFolder(names.join(u'/'));
    if (!QDir().mkpath(folder))
        return false;
    TIniFile ini(ConnectionFileIn(folder));
    if (ini.SectionExists(name) || !profile.Write(ini, name, ProfileKeys::ConnectionList, names.join(u'/')))
        return false;
    return ini.UpdateFile();
}

QStringList ConnectionTreeStore::RelocatePasswords() const
{
    QStringList unmoved;
    VisitConnectionFiles(m_root, [&](const QString &file) {
        TIniFile ini(file);
        const QString groupPath = GroupPathOfFile(file);
        for (const QString &section : ini.ReadSections()) {
            if (!PasswordStore::RelocatePasswords(ini, section, groupPath))
                unmoved.append(groupPath + section);
        }
        if (!ini.UpdateFile())
            unmoved.append(file);
        return false;
    });
    return unmoved;
}

QString ConnectionTreeStore::GroupPathOfFile(const QString &connectionFile) const
{
    const QString folder = QDir(m_root).relativeFilePath(QFileInfo(connectionFile).path());
    return folder == u"."_s ? QString() : folder + u'/';
}
