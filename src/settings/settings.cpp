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

Options::Options(QString path)
    : m_file(std::move(path))
{ }

void Options::load()
{
    m_values = m_file.readValues();
    m_changes.clear();
}

std::optional<QString> Options::storedText(const QString& section, const QString& key) const
{
    const auto found = m_values.constFind(IniFile::ValueId(section, key));
    if (found == m_values.cend())
        return std::nullopt;
    return *found;
}

bool Options::value(const SettingKey<bool>& key) const
{
    return TextToBool(text(key));
}

int Options::value(const SettingKey<int>& key) const
{
    return IntegerSetting(text(key), path(), key.section, key.key);
}

int Options::value(const SettingKey<int>& key, int defaultValue) const
{
    return IntegerSetting(storedText(key.section, key.key).value_or(QString::number(defaultValue)), path(), key.section,
                          key.key);
}

void Options::setValue(const SettingKey<bool>& key, bool value)
{
    setText(key.section, key.key, BoolToText(value));
}

void Options::setValue(const SettingKey<int>& key, int value)
{
    setText(key.section, key.key, QString::number(value));
}

void Options::setText(const QString& section, const QString& key, const QString& value)
{
    // Read back as the file will give it once written.
    QString clean = value;
    clean.replace(u'\r', u' ').replace(u'\n', u' ');
    m_values.insert(IniFile::ValueId(section, key), clean.trimmed().left(IniFile::MaxValueLength));
    m_changes.append({section, key, value});
}

void Options::save()
{
    if (m_changes.isEmpty())
        return;
    m_file.writeTexts(m_changes);
    m_changes.clear();
}
