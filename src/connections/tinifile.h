#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// An INI text file held as lines in memory. Opening reads it; the destructor
// (or UpdateFile) writes it back with CR LF line ends, but only when a write
// or an erase happened. Empty values are never stored; booleans are "-1"/"0".
// Files that are valid UTF-8 are read as UTF-8, others as Windows-1252;
// writing uses Windows-1252 when every character fits, else UTF-8.
class TIniFile {
public:
    explicit TIniFile(const QString &fileName);
    ~TIniFile();
    TIniFile(const TIniFile &) = delete;
    TIniFile &operator=(const TIniFile &) = delete;

    const QString &FileName() const { return m_fileName; }

    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    int ReadInteger(const QString &section, const QString &key, int defaultValue) const;
    bool ReadBool(const QString &section, const QString &key, bool defaultValue) const;
    // Qt::UTC reads the date and time as written, for values that are no
    // instants (a duration kept as a time of day): they read back even where
    // the local clock skips that hour.
    QDateTime ReadDateTime(const QString &section, const QString &key, const QDateTime &defaultValue,
                           Qt::TimeSpec spec = Qt::LocalTime) const;
    double ReadFloat(const QString &section, const QString &key, double defaultValue) const;

    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);
    void WriteBool(const QString &section, const QString &key, bool value);
    void WriteDateTime(const QString &section, const QString &key, const QDateTime &value);
    void WriteFloat(const QString &section, const QString &key, double value);

    bool SectionExists(const QString &section) const;
    bool ValueExists(const QString &section, const QString &key) const;
    QStringList ReadSections() const;
    // Key names of one section, in file order.
    QStringList ReadSection(const QString &section) const;
    // The section's lines as they stand ("key=value"), empty lines skipped.
    QStringList ReadSectionValues(const QString &section) const;
    struct Section {
        QString name;
        QStringList values; // as ReadSectionValues gives them
    };
    // Every section in file order, repeated names included, in one pass:
    // for files with many sections, where a look-up per section would read
    // the file again and again.
    QList<Section> ReadAllSections() const;
    void EraseSection(const QString &section);
    void DeleteKey(const QString &section, const QString &key);

    // Writes the file now when it was changed; the destructor calls it too.
    // Returns false when the file could not be written.
    bool UpdateFile();
    bool Modified() const { return m_modified; }

    // How the class reads integers: decimal, surrounding blanks allowed.
    static std::optional<int> ParseInteger(QStringView text);
    // Writes lines with CR LF ends in the file's encoding rules, making a
    // read-only file writable first. Also used for files built line by line.
    static bool WriteLines(const QString &fileName, const QStringList &lines);

private:
    int FindSectionHeader(const QString &section) const;
    int FindKeyLine(int headerIndex, const QString &key) const;
    // Where the section's lines stop: the next line that begins with "[".
    int SectionEnd(int headerIndex) const;
    // Where an erase stops: the next section header.
    int NextHeader(int headerIndex) const;
    void Load();

    QString m_fileName;
    QStringList m_lines;
    bool m_modified = false;
};
