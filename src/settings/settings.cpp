#include "settings/settings.h"

#include "util/textutils.h"

using namespace Qt::StringLiterals;

IniFile OpenOptionsFile()
{
    return IniFile(JoinPath(AppDir(), u"options.ini"_s));
}

IniFile OpenTargetsFile()
{
    return IniFile(JoinPath(AppDir(), u"targets.ini"_s));
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
