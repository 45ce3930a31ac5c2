#pragma once

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QString>

#include <sys/types.h>

// The file a download is received into. The bytes go into a part file
// beside the target ("<name>.glimra-part"), and only Commit() puts it in
// the target's place, in one rename: an existing target keeps its content
// until the new one is complete, and a refused, failed or cancelled
// download never leaves a cut file under the target's name.
//
// A part file carries a mark of its own (an extended attribute), and only a
// marked plain file of this user's counts as partial data that a later
// download may start over or continue: a file that merely has the part
// name (one the user keeps, or one the same download fetches under that
// name) is never truncated, renamed or removed. Names the caller reserves
// (the names of the folder being fetched) are never taken as part names
// either.
class PartFile {
public:
    // What becomes of a part file that is not committed.
    enum class Leftover {
        Remove, // nothing stays behind
        Keep,   // partial data stays for a later download to continue
    };

    explicit PartFile(const QString &targetPath, Leftover leftover = Leftover::Remove,
                      const QSet<QString> &reservedNames = {});
    ~PartFile();
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;

    // Creates the part file, empty. False, with ErrorString(), when it
    // cannot be created or the target is a folder.
    bool Open();
    // Opens the part file to continue a download: the partial data an
    // earlier one kept, else a copy of the target. The device stands at its
    // end. False, with ErrorString(), when neither can be opened.
    bool OpenToContinue();
    // Where the download writes while it runs.
    QFile &Device() { return m_part; }
    // Closes the part file and renames it over the target. The new file
    // keeps the permissions of the file it replaces (and the owner may
    // write it) and gets the given modification time when that is valid.
    // False, with ErrorString(), when the file could not be completed (also
    // when something else took the part file's name meanwhile); the part
    // file is removed then.
    bool Commit(const QDateTime &modified = QDateTime());
    QString ErrorString() const { return m_error; }
    // Whether the part file stays when the download ends now, uncommitted:
    // kept partial data, under the name where the next download finds it.
    bool KeepsPartialData() const;

    // The part file of a target. A later attempt gives another name, for
    // when the first one is taken by a link or a folder.
    static QString PartPath(const QString &targetPath, int attempt = 0);
    // Where partial data of the target is kept: the first part name that
    // is not reserved.
    static QString KeptPartPath(const QString &targetPath, const QSet<QString> &reservedNames = {});
    // What a download of the target could continue: the partial data an
    // earlier one kept, else the target itself. Neither exists when there
    // is nothing.
    static QFileInfo PartialData(const QString &targetPath, const QSet<QString> &reservedNames = {});

private:
    // The file the part replaces: for a symbolic link the file it points
    // to, so that the link stays. mode: its type and permission bits, 0
    // when nothing is there; one look at the file answers all three.
    struct Target {
        QString path;
        mode_t mode = 0;
    };
    static Target ResolvedTarget(const QString &targetPath);
    // The part name's file is earlier partial data that may be reopened.
    static bool IsPartialData(const QString &partPath);
    bool OpenPart(const QString &partPath);
    bool StartOver(const QString &partPath);
    bool CreatePart(const QString &partPath);
    // Whether the part name still names the file being written.
    bool StillNamesPart() const;
    void RemoveClosedPart();
    bool Fail(const QString &error);
    void Discard();

    QString m_target;
    Leftover m_leftover;
    QSet<QString> m_reservedNames;
    QFile m_part;
    QString m_error;
    bool m_created = false;
    bool m_marked = false;
};
