#include "settings/settings.h"

#include "settings/filelocations.h"
#include "util/textutils.h"

using namespace Qt::StringLiterals;

IniFile OpenOptionsFile()
{
    return IniFile(OptionsFilePath());
}

IniFile OpenTargetsFile()
{
    return IniFile(TargetsFilePath());
}

QString ReadSetting(const SettingKey& key)
{
    return ReadSetting(key, key.defaultValue);
}

QString ReadSetting(const SettingKey& key, const QString& defaultValue)
{
    return OpenOptionsFile().readText(key.section, key.key, defaultValue);
}

bool ReadBoolSetting(const SettingKey& key)
{
    return TextToBool(ReadSetting(key));
}

int ReadIntegerSetting(const SettingKey& key, int defaultValue)
{
    return OpenOptionsFile().readInteger(key.section, key.key, defaultValue);
}

void WriteSetting(const SettingKey& key, const QString& value)
{
    OpenOptionsFile().writeText(key.section, key.key, value);
}

void WriteBoolSetting(const SettingKey& key, bool value)
{
    WriteSetting(key, BoolToText(value));
}

void WriteIntegerSetting(const SettingKey& key, int value)
{
    WriteSetting(key, QString::number(value));
}
