#include "listmerge.h"

#include "connectiontreestore.h"
#include "tinifile.h"

using namespace Qt::StringLiterals;

void AddedConnectionSettings::ApplyTo(ConnectionProfile &profile) const
{
    profile.Proxy_Use = proxyUse;
    profile.FW_Use = proxyUse && proxyAuthenticate;
    profile.FW_Art = proxyUse ? loginStyle : 0;
    profile.Proxy_Server = proxyUse ? proxyServer.trimmed() : QString();
    profile.Proxy_Port = proxyUse ? proxyPort.trimmed() : QString();
    profile.FW_User = proxyUse ? proxyUser.trimmed() : QString();
    profile.FW_Pass = proxyUse ? proxyPassword : QString();

    profile.Socket_Use = socksUse;
    profile.Socket_Host = socksUse ? socksHost.trimmed() : QString();
    profile.Socket_Port = socksUse ? socksPort.trimmed() : QString();
    profile.Socket_User = socksUse ? socksUser.trimmed() : QString();
    profile.Socket_Pass = socksUse ? socksPassword : QString();
}

ConnectionListMerge::ConnectionListMerge(const ConnectionTreeStore &tree,
                                         const AddedConnectionSettings &settings, ListMergeHost &host)
    : m_tree(tree)
    , m_settings(settings)
    , m_host(host)
{
}

int ConnectionListMerge::Run(TIniFile &list)
{
    const QStringList sections = list.ReadSections();
    const int total = int(sections.size());
    for (int i = 0; i < total; ++i) {
        m_host.ProcessPendingEvents();
        if (m_host.StopRequested())
            break;
        if (MergeSection(ReadListedConnection(list, sections[i])) == Outcome::Stop || m_host.StopRequested())
            break;
        m_host.SectionHandled(i + 1, total, m_added);
        if (i > 0)
            list.EraseSection(sections[i]);
    }
    return m_added;
}

ConnectionListMerge::Outcome ConnectionListMerge::MergeSection(const ListedConnection &entry)
{
    // The signature section and others without a group are no connections.
    if (entry.group.isEmpty())
        return Outcome::Handled;
    const std::optional<QString> groupPath = GroupPathInTree(entry.group);
    if (!groupPath) {
        m_host.LogLine(
            u"Eintrag \"%1\" übersprungen: ungültige Gruppe \"%2\""_s.arg(entry.name, entry.group));
        return Outcome::Handled;
    }
    if (!m_addAll) {
        if (IsPresent(*groupPath, entry.name))
            return Outcome::Handled;
        switch (m_host.AskToAdd(entry)) {
        case EntryAnswer::Add:
            break;
        case EntryAnswer::AddAll:
            m_addAll = true;
            break;
        case EntryAnswer::Skip:
            return Outcome::Handled;
        case EntryAnswer::Stop:
            return Outcome::Stop;
        }
    }
    if (Add(*groupPath, entry)) {
        ++m_added;
        m_host.LogLine(u"Neuer Eintrag: "_s + entry.name);
    }
    return Outcome::Handled;
}

bool ConnectionListMerge::IsPresent(const QString &groupPath, const QString &name) const
{
    return m_tree.ConnectionExists(groupPath, name);
}

// A present section is never replaced, so "Ja zu allen" leaves existing
// connections as they are; a folder that cannot be made skips the entry.
bool ConnectionListMerge::Add(const QString &groupPath, const ListedConnection &entry)
{
    ConnectionProfile profile = entry.profile;
    m_settings.ApplyTo(profile);
    return m_tree.AddConnection(groupPath, entry.name, profile);
}
