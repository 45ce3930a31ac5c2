#include "openedcopies.h"

#include "overwritedecision.h"

#include <QFileInfo>

void OpenedCopies::Watch(const QString &localPath, const QString &remotePath, const ServerIdentity &server)
{
    Forget(localPath);
    const QDateTime now = ModificationTime(localPath);
    m_copies.append({localPath, remotePath, server, now, now, State::Quiet});
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
