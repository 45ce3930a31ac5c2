#pragma once

#include <QString>
#include <QStringList>

#include <functional>

struct ImageInformation;

// Saving pictures of the thumbnail window into another folder: what the
// save prompt suggests, accepts and shows, and the copying itself.

// The information line under a preview: size, colours, depth, planes,
// compression and file size as the decoder reports them.
QString ImageInformationText(const ImageInformation &info);

// fileName with "_" and the lowest number from 1 on that names nothing in
// folder, before the extension: a.jpg gives a_1.jpg, or a_2.jpg when
// a_1.jpg is taken. folder ends with "/".
QString SuggestedImageName(const QString &fileName, const QString &folder);

// A typed new name that may be saved in folder (ending with "/"): not
// empty, naming nothing there yet, and free of / \ : * ? " < > =.
bool IsAcceptableImageName(const QString &name, const QString &folder);

// Copies source to target through a temporary file, so that an existing
// target stays whole when the copy fails.
bool CopyImageFile(const QString &source, const QString &target);

// What the user chose for a picture whose name exists in the target folder.
struct ExistingImageAnswer {
    enum Kind { Overwrite, Skip, Rename, Stop };
    Kind kind = Stop;
    QString newName; // for Rename
};
using AskAboutExistingImage = std::function<ExistingImageAnswer(const QString &sourcePath)>;

// Copies the files (paths) into targetFolder under their names, asking
// about each name that exists there. A copy that fails is skipped.
void SaveImages(const QStringList &files, const QString &targetFolder, const AskAboutExistingImage &ask);
