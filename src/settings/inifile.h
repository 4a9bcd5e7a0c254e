#pragma once

#include <QString>
#include <QStringList>

#include <QHash>
#include <QList>

#include <functional>
#include <memory>

// An INI file with the semantics of the Windows private-profile functions. Nothing is
// cached but in a snapshot(): every call reads the file afresh, and every write replaces
// it atomically (ReplaceFileContents), so a refused write leaves the file as it was.
// Every call takes time linear in the file's size.
class IniFile {
public:
    explicit IniFile(QString path);

    const QString& path() const { return m_path; }
    // The same file read once, now: its reads answer from that reading, in constant time,
    // until its own next write reads the file as written. For operations that read many
    // keys of a large file.
    IniFile snapshot() const;

    // The value of the first matching key in the first matching section (names compared
    // without regard to case), trimmed, unquoted and cut to 2047 characters; the default
    // when the file, section or key is missing.
    QString readText(const QString& section, const QString& key, const QString& defaultValue) const;
    // Raises the error of IntegerSetting when the text read is no whole number.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    // Creates file, section and key as needed and keeps every other line as it was.
    // Raises the error of ReplaceFileContents when the file cannot be written.
    void writeText(const QString& section, const QString& key, const QString& value) const;

    struct Entry {
        QString section;
        QString key;
        QString value;
    };
    // Writes the entries in order, each as writeText would, in one replacement of the file.
    void writeTexts(const QList<Entry>& entries) const;
    // Every value readText would give, read in one pass, under ValueId(section, key).
    QHash<QString, QString> readValues() const;
    static QString ValueId(const QString& section, const QString& key);
    // Remove the first matching key, or the first matching section with its entries and the
    // comments in its body; a missing section or key changes nothing. Raise like writeText.
    void removeKey(const QString& section, const QString& key) const;
    void removeSection(const QString& section) const;
    // Renames the first matching section, keeping its body as it is.
    void renameSection(const QString& section, const QString& newName) const;

    // Changes made in order, each as the call of the same name would, and written in one
    // replacement of the file by apply(): all of them or, on failure, none.
    class Edits {
    public:
        void writeText(const QString& section, const QString& key, const QString& value);
        void removeKey(const QString& section, const QString& key);
        void removeSection(const QString& section);
        void renameSection(const QString& section, const QString& newName);

    private:
        friend class IniFile;
        // Each step edits the lines and tells whether it changed them.
        QList<std::function<bool(QStringList&)>> m_steps;
    };
    void apply(const Edits& edits) const;
    // Section names in file order, each once.
    QStringList sectionNames() const;
    // Raises Error naming the file when it exists but can not be read (a folder, no
    // permission); the readers above take such a file for a missing one.
    void requireReadable() const;

    static constexpr qsizetype MaxValueLength = 2047;

private:
    struct Parsed;

    QString m_path;
    // Set for a snapshot: the values it answers from.
    mutable std::shared_ptr<const Parsed> m_snapshot;
};

// Strict whole-number conversion of settings texts; raises the conversion error
// "'%s' is not a valid integer value".
int TextToInteger(const QString& text);
// The same for the value of a key, with an error that names the key, its section and the file.
int IntegerSetting(const QString& text, const QString& path, const QString& section, const QString& key);
