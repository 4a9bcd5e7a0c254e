#pragma once

#include "settings/inifile.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// options.ini and targets.ini where FileLocations puts them, opened afresh for every use.
IniFile OpenOptionsFile();
IniFile OpenTargetsFile();

// One key of options.ini, typed by how it is read, with the default text that applies
// when it is missing.
template <typename T> struct SettingKey {
    QString section;
    QString key;
    QString defaultValue;
};

// Every section, key and default of options.ini. No other file spells them.
namespace Setting {
inline const QString OptionsSection = QStringLiteral("Options");
inline const QString StartupSection = QStringLiteral("Startup Settings");

inline const SettingKey<QString> Target{OptionsSection, QStringLiteral("Target"), {}};
inline const SettingKey<QString> HotKey{OptionsSection, QStringLiteral("HotKey"), QStringLiteral("F12")};
inline const SettingKey<QString> ActivateKey{OptionsSection, QStringLiteral("ActivateKey"), QStringLiteral("F11")};
inline const SettingKey<bool> RestoreClipboard{OptionsSection, QStringLiteral("RestoreClipboard"),
                                               QStringLiteral("true")};
inline const SettingKey<bool> DoAttachments{OptionsSection, QStringLiteral("Do Attachments"), QStringLiteral("true")};
inline const SettingKey<bool> MinimizeOnClose{OptionsSection, QStringLiteral("Minimize On Close"),
                                              QStringLiteral("false")};
inline const SettingKey<QString> WindowSearch{OptionsSection, QStringLiteral("Window Search"), {}};

inline const SettingKey<bool> ShowHotword{StartupSection, QStringLiteral("Show Hotword"), {}};
// The layout keys default to the window's current value, which the caller gives.
inline const SettingKey<int> MainFormState{StartupSection, QStringLiteral("Main Form State"), {}};
inline const SettingKey<int> MainFormLeft{StartupSection, QStringLiteral("Main Form Left"), {}};
inline const SettingKey<int> MainFormTop{StartupSection, QStringLiteral("Main Form Top"), {}};
inline const SettingKey<int> MainFormWidth{StartupSection, QStringLiteral("Main Form Width"), {}};
inline const SettingKey<int> MainFormHeight{StartupSection, QStringLiteral("Main Form Height"), {}};
inline const SettingKey<int> LeftPanelWidth{StartupSection, QStringLiteral("Left Panel Width"), QStringLiteral("222")};
inline const SettingKey<int> NotesFormLeft{StartupSection, QStringLiteral("Notes Form Left"), {}};
inline const SettingKey<int> NotesFormTop{StartupSection, QStringLiteral("Notes Form Top"), {}};
inline const SettingKey<int> NotesFormWidth{StartupSection, QStringLiteral("Notes Form Width"), {}};
inline const SettingKey<int> NotesFormHeight{StartupSection, QStringLiteral("Notes Form Height"), {}};
// The desktops, each with what works on it, that the start-up notice about missing parts
// was shown for: "name|flags", separated by ";".
inline const SettingKey<QString> DesktopNotice{StartupSection, QStringLiteral("Desktop Notice"), {}};
} // namespace Setting

// The values of options.ini for one operation: load() reads the file once, the getters
// read what was loaded (a key set since then reads as set), and save() writes the keys
// set since the last save, in the order set, in one replacement of the file. Keys never
// set are never written, so a missing key stays missing. Nothing is kept across
// operations: each starts with load().
class Options {
public:
    explicit Options(QString path);

    const QString& path() const { return m_file.path(); }
    // Reads every key's text, dropping unsaved changes. A missing or unreadable file
    // reads as empty.
    void load();

    // The key's text, or its default when missing.
    template <typename T> QString text(const SettingKey<T>& key) const
    {
        return storedText(key.section, key.key).value_or(key.defaultValue);
    }
    QString value(const SettingKey<QString>& key) const { return text(key); }
    // True for "true", "yes", "1" and the like, as TextToBool reads them.
    bool value(const SettingKey<bool>& key) const;
    // Raise the error of IntegerSetting, naming the key and the file, when the text is no
    // whole number.
    int value(const SettingKey<int>& key) const;
    int value(const SettingKey<int>& key, int defaultValue) const;

    void setValue(const SettingKey<QString>& key, const QString& value) { setText(key.section, key.key, value); }
    void setValue(const SettingKey<bool>& key, bool value);
    void setValue(const SettingKey<int>& key, int value);

    // Any key by name: its text as loaded (or set since), no value when missing.
    std::optional<QString> storedText(const QString& section, const QString& key) const;
    void setText(const QString& section, const QString& key, const QString& value);
    // The keys set since the last load or save, in the order set.
    const QList<IniFile::Entry>& changes() const { return m_changes; }

    // Writes the keys set since the last save into the file as it is now, leaving every
    // other key as the file holds it; nothing when none was set. Raises the error of
    // ReplaceFileContents when the file cannot be written, and then leaves it as it was.
    void save();

private:
    IniFile m_file;
    QHash<QString, QString> m_values;
    QList<IniFile::Entry> m_changes;
};
