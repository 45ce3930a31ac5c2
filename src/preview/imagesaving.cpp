#include "imagesaving.h"

#include "imagelibrary.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

QString ImageInformationText(const ImageInformation &info)
{
    QString text = u"%1 x %2"_s.arg(info.width).arg(info.height);
    if (info.colors > 0)
        text += u"  %1 Farbe(n)"_s.arg(info.colors);
    // The size is a count of bytes.
    text += u"  %1 Bit per Pixel  %2 Ebene(n)  Komprimierung: %3  Größe: %4 Byte"_s.arg(info.bitsPerPixel)
                .arg(info.planes)
                .arg(info.compression)
                .arg(info.fileSize);
    return text;
}

QString SuggestedImageName(const QString &fileName, const QString &folder)
{
    // The extension starts at the last "." after the first character.
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const bool hasExtension = dot > 0;
    const QString base = hasExtension ? fileName.left(dot) : fileName;
    const QString extension = hasExtension ? fileName.mid(dot) : QString();
    for (int number = 1;; ++number) {
        const QString name = base + u'_' + QString::number(number) + extension;
        if (!QFileInfo::exists(folder + name))
            return name;
    }
}

bool IsAcceptableImageName(const QString &name, const QString &folder)
{
    static const QString forbidden = u"/\\:*?\"<>="_s;
    for (QChar character : name) {
        if (forbidden.contains(character))
            return false;
    }
    // A folder of that name is taken as much as a file.
    return !name.isEmpty() && !QFileInfo::exists(folder + name);
}

bool CopyImageFile(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(target);
    // Unbuffered: an error of the flush at commit would go unnoticed.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    constexpr qint64 kChunk = 1 << 20;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kChunk);
        if (chunk.isEmpty() || out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            return false;
        }
    }
    return out.commit();
}

void SaveImages(const QStringList &files, const QString &targetFolder, const AskAboutExistingImage &ask)
{
    for (const QString &source : files) {
        const QString name = QFileInfo(source).fileName();
        const QString target = targetFolder + name;
        if (!QFileInfo::exists(target)) {
            CopyImageFile(source, target);
            continue;
        }
        const ExistingImageAnswer answer = ask(source);
        switch (answer.kind) {
        case ExistingImageAnswer::Overwrite:
            CopyImageFile(source, target);
            break;
        case ExistingImageAnswer::Rename:
            if (IsAcceptableImageName(answer.newName, targetFolder))
                CopyImageFile(source, targetFolder + answer.newName);
            break;
        case ExistingImageAnswer::Skip:
            break;
        case ExistingImageAnswer::Stop:
            return;
        }
    }
}
