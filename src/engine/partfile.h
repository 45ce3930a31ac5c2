#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>

// The file a download is received into. The bytes go into a part file
// beside the target ("<name>.glimra-part"), and only Commit() puts it in
// the target's place, in one rename: an existing target keeps its content
// until the new one is complete, and a refused, failed or cancelled
// download never leaves a cut file under the target's name. A part file
// that is not committed is removed again.
class PartFile {
public:
    explicit PartFile(const QString &targetPath);
    ~PartFile();
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;

    // Creates the part file. False, with ErrorString(), when it cannot be
    // created or the target is a folder.
    bool Open();
    // Where the download writes while it runs.
    QFile &Device() { return m_part; }
    // Closes the part file and renames it over the target. The new file
    // keeps the permissions of the file it replaces (and the owner may
    // write it) and gets the given modification time when that is valid.
    // False, with ErrorString(), when the file could not be completed; the
    // part file is removed then.
    bool Commit(const QDateTime &modified = QDateTime());
    QString ErrorString() const { return m_error; }

    // The part file of a target. A later attempt gives another name, for
    // when the first one is taken by a file that is not ours.
    static QString PartPath(const QString &targetPath, int attempt = 0);

private:
    // The file the part replaces: for a symbolic link the file it points
    // to, so that the link stays.
    QString ResolvedTarget() const;
    bool Fail(const QString &error);
    void Discard();

    QString m_target;
    QFile m_part;
    QString m_error;
    bool m_created = false;
};
