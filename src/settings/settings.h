#pragma once

#include "settings/inifile.h"

#include <QString>

// options.ini and targets.ini where FileLocations puts them, opened afresh for every use.
IniFile OpenOptionsFile();
IniFile OpenTargetsFile();

// One key of options.ini with the default that applies when it is missing.
struct SettingKey {
    QString section;
    QString key;
    QString defaultValue;
};

// Every section, key and default of options.ini. No other file spells them.
namespace Setting {
inline const QString OptionsSection = QStringLiteral("Options");
inline const QString StartupSection = QStringLiteral("Startup Settings");

inline const SettingKey Target{OptionsSection, QStringLiteral("Target"), {}};
inline const SettingKey HotKey{OptionsSection, QStringLiteral("HotKey"), QStringLiteral("F12")};
inline const SettingKey ActivateKey{OptionsSection, QStringLiteral("ActivateKey"), QStringLiteral("F11")};
inline const SettingKey RestoreClipboard{OptionsSection, QStringLiteral("RestoreClipboard"), QStringLiteral("true")};
inline const SettingKey DoAttachments{OptionsSection, QStringLiteral("Do Attachments"), QStringLiteral("true")};
inline const SettingKey MinimizeOnClose{OptionsSection, QStringLiteral("Minimize On Close"), QStringLiteral("false")};
inline const SettingKey WindowSearch{OptionsSection, QStringLiteral("Window Search"), {}};

inline const SettingKey ShowHotword{StartupSection, QStringLiteral("Show Hotword"), {}};
// The layout keys default to the window's current value, which the caller gives.
inline const SettingKey MainFormState{StartupSection, QStringLiteral("Main Form State"), {}};
inline const SettingKey MainFormLeft{StartupSection, QStringLiteral("Main Form Left"), {}};
inline const SettingKey MainFormTop{StartupSection, QStringLiteral("Main Form Top"), {}};
inline const SettingKey MainFormWidth{StartupSection, QStringLiteral("Main Form Width"), {}};
inline const SettingKey MainFormHeight{StartupSection, QStringLiteral("Main Form Height"), {}};
inline const SettingKey LeftPanelWidth{StartupSection, QStringLiteral("Left Panel Width"), QStringLiteral("222")};
inline const SettingKey NotesFormLeft{StartupSection, QStringLiteral("Notes Form Left"), {}};
inline const SettingKey NotesFormTop{StartupSection, QStringLiteral("Notes Form Top"), {}};
inline const SettingKey NotesFormWidth{StartupSection, QStringLiteral("Notes Form Width"), {}};
inline const SettingKey NotesFormHeight{StartupSection, QStringLiteral("Notes Form Height"), {}};
} // namespace Setting

// Reads a key of options.ini with its own default, or with the one given.
QString ReadSetting(const SettingKey& key);
QString ReadSetting(const SettingKey& key, const QString& defaultValue);
bool ReadBoolSetting(const SettingKey& key);
int ReadIntegerSetting(const SettingKey& key, int defaultValue);
void WriteSetting(const SettingKey& key, const QString& value);
void WriteBoolSetting(const SettingKey& key, bool value);
void WriteIntegerSetting(const SettingKey& key, int value);
