#include "datafolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

QString WithTrailingSlash(const QString &path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

QString CreatedSubFolder(const QString &root, const QString &name)
{
    const QString folder = root + name + u'/';
    QDir().mkpath(folder);
    return folder;
}

QString RandomLetters(int count)
{
    QString letters;
    letters.reserve(count);
    for (int i = 0; i < count; ++i)
        letters += QChar(u'a' + QRandomGenerator::global()->bounded(26));
    return letters;
}

} // namespace

DataFolders::DataFolders()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    m_root = WithTrailingSlash(documents) + u"QvxORNAFTPGlimra/"_s;
    QDir().mkpath(m_root);
    m_settingsFile = m_root + u"glimra.ini"_s;

    m_tree = CreatedSubFolder(m_root, u"Inhaltsverzeichnis"_s);
    m_tmp = CreatedSubFolder(m_root, u"tmp"_s);
    m_work = CreatedSubFolder(m_root, u"work"_s);
    m_links = CreatedSubFolder(m_root, u"Links"_s);
    m_images = CreatedSubFolder(m_root, u"images"_s);
}

QString DataFolders::NewTemporaryFileName() const
{
    constexpr int kRedraws = 1000;
    QString name = m_tmp + RandomLetters(8) + u".txt"_s;
    for (int redraw = 0; redraw < kRedraws && QFileInfo::exists(name); ++redraw)
        name = m_tmp + RandomLetters(8) + u".txt"_s;
    return name;
}

void DataFolders::DeleteFilesIn(const QString &folder, const QStringList &keep)
{
    QSet<QString> kept;
    for (const QString &path : keep)
        kept.insert(QFileInfo(path).absoluteFilePath());
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &file : files) {
        const QString path = file.absoluteFilePath();
        if (kept.contains(path))
            continue;
        if (!file.isSymLink())
            QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner);
        QFile::remove(path);
    }
}
