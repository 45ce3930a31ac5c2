#include "openedcopies.h"

#include "overwritedecision.h"

#include "tinifile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <iterator>

using namespace Qt::StringLiterals;

void OpenedCopies::Watch(const QString &localPath, const QString &remotePath, const ServerIdentity &server)
{
    Forget(localPath);
    const QDateTime now = ModificationTime(localPath);
    m_copies.append({localPath, remotePath, server, now, now, State::Quiet});
}

void OpenedCopies::WatchKept(const Copy &kept)
{
    Forget(kept.localPath);
    Copy copy = kept;
    copy.lastSeen = ModificationTime(kept.localPath);
    copy.state = State::Quiet;
    m_copies.append(copy);
}

void OpenedCopies::Forget(const QString &localPath)
{
    m_copies.removeIf([&](const Copy &copy) { return copy.localPath == localPath; });
}

const OpenedCopies::Copy *OpenedCopies::Find(const QString &localPath) const
{
    for (const Copy &copy : m_copies) {
        if (copy.localPath == localPath)
            return &copy;
    }
    return nullptr;
}

OpenedCopies::Copy *OpenedCopies::Mutable(const QString &localPath)
{
    return const_cast<Copy *>(Find(localPath));
}

void OpenedCopies::Look()
{
    for (Copy &copy : m_copies) {
        const QDateTime now = ModificationTime(copy.localPath);
        if (!now.isValid() || !TimesDiffer(now, copy.lastSeen))
            continue;
        copy.lastSeen = now;
        // A question or an upload under way takes the latest content anyway.
        if (copy.state == State::Quiet && IsUnsaved(copy))
            copy.state = State::ToOffer;
    }
}

const OpenedCopies::Copy *OpenedCopies::NextToOffer(const ServerIdentity &server) const
{
    for (const Copy &copy : m_copies) {
        if (copy.state == State::ToOffer && copy.server == server)
            return &copy;
    }
    return nullptr;
}

void OpenedCopies::ServerConnected()
{
    for (Copy &copy : m_copies) {
        if (copy.state == State::Quiet && IsUnsaved(copy))
            copy.state = State::ToOffer;
    }
}

void OpenedCopies::OfferAgain(const QString &localPath)
{
    Copy *copy = Mutable(localPath);
    if (copy && copy->state == State::Quiet && IsUnsaved(*copy))
        copy->state = State::ToOffer;
}

void OpenedCopies::Asked(const QString &localPath)
{
    if (Copy *copy = Mutable(localPath))
        copy->state = State::Asked;
}

void OpenedCopies::Declined(const QString &localPath)
{
    Copy *copy = Mutable(localPath);
    if (!copy)
        return;
    const QDateTime now = ModificationTime(localPath);
    if (now.isValid())
        copy->onServer = copy->lastSeen = now;
    copy->state = State::Quiet;
}

void OpenedCopies::Saving(const QString &localPath)
{
    if (Copy *copy = Mutable(localPath))
        copy->state = State::Saving;
}

void OpenedCopies::Saved(const QString &localPath, const QDateTime &savedTime)
{
    Copy *copy = Mutable(localPath);
    if (!copy)
        return;
    copy->onServer = savedTime;
    copy->state = State::Quiet;
    // A change made while the upload ran is seen as new at the next look.
    copy->lastSeen = savedTime;
}

void OpenedCopies::NotSaved(const QString &localPath)
{
    Copy *copy = Mutable(localPath);
    if (!copy)
        return;
    copy->state = State::Quiet;
    const QDateTime now = ModificationTime(localPath);
    if (now.isValid())
        copy->lastSeen = now;
}

bool OpenedCopies::HasUnsavedChange(const QString &localPath) const
{
    const Copy *copy = Find(localPath);
    return copy && IsUnsaved(*copy);
}

QStringList OpenedCopies::UnsavedCopies() const
{
    QStringList paths;
    for (const Copy &copy : m_copies) {
        if (IsUnsaved(copy))
            paths.append(copy.localPath);
    }
    return paths;
}

QList<OpenedCopies::Copy> OpenedCopies::CopiesWithUnsavedChange() const
{
    QList<Copy> unsaved;
    std::copy_if(m_copies.begin(), m_copies.end(), std::back_inserter(unsaved), IsUnsaved);
    return unsaved;
}

bool OpenedCopies::IsUnsaved(const Copy &copy)
{
    const QDateTime now = ModificationTime(copy.localPath);
    return now.isValid() && TimesDiffer(now, copy.onServer);
}

bool TimesDiffer(const QDateTime &a, const QDateTime &b)
{
    return IsLaterThan(a, b) || IsLaterThan(b, a);
}

QDateTime ModificationTime(const QString &path)
{
    const QFileInfo file(path);
    return file.exists() ? file.lastModified() : QDateTime();
}

namespace KeptCopies {

QList<OpenedCopies::Copy> Read(const QString &recordFile)
{
    const TIniFile record(recordFile);
    QList<OpenedCopies::Copy> copies;
    for (const QString &section : record.ReadSections()) {
        OpenedCopies::Copy copy;
        copy.localPath = record.ReadString(section, u"LocalPath"_s, QString());
        copy.remotePath = record.ReadString(section, u"RemotePath"_s, QString());
        copy.server.host = record.ReadString(section, u"Host"_s, QString());
        copy.server.port = record.ReadInteger(section, u"Port"_s, 0);
        copy.server.user = record.ReadString(section, u"User"_s, QString());
        bool ok = false;
        const qint64 onServer = record.ReadString(section, u"OnServer"_s, QString()).toLongLong(&ok);
        if (copy.localPath.isEmpty() || copy.remotePath.isEmpty() || !ok)
            continue;
        copy.onServer = QDateTime::fromMSecsSinceEpoch(onServer);
        copies.append(copy);
    }
    return copies;
}

bool Write(const QString &recordFile, const QList<OpenedCopies::Copy> &copies)
{
    if (!QFile::remove(recordFile) && QFile::exists(recordFile))
        return false;
    if (copies.isEmpty())
        return true;
    TIniFile record(recordFile);
    for (qsizetype i = 0; i < copies.size(); ++i) {
        const OpenedCopies::Copy &copy = copies[i];
        const QString section = QString::number(i);
        record.WriteString(section, u"LocalPath"_s, copy.localPath);
        record.WriteString(section, u"RemotePath"_s, copy.remotePath);
        record.WriteString(section, u"Host"_s, copy.server.host);
        record.WriteInteger(section, u"Port"_s, copy.server.port);
        record.WriteString(section, u"User"_s, copy.server.user);
        record.WriteString(section, u"OnServer"_s, QString::number(copy.onServer.toMSecsSinceEpoch()));
    }
    return record.UpdateFile();
}

} // namespace KeptCopies
