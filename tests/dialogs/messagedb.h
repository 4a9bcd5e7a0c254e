#pragma once

#include "settings/settings.h"
#include "store/dmData.h"
#include "util/textutils.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>

#include <memory>

// A Message database of its own, without example Messages, in a temporary folder that
// also holds the program's INI files.
class MessageDb {
public:
    MessageDb()
    {
        OverrideAppDir(folder.path());
        ConnectionSpec spec;
        spec.database = folder.filePath(QStringLiteral("test.db"));
        spec.createWithExamples = false;
        module = std::make_unique<TdmFAQData>(spec);
        module->OpenDatabase();
    }
    ~MessageDb()
    {
        module.reset();
        OverrideAppDir({});
    }
    MessageDb(const MessageDb&) = delete;
    MessageDb& operator=(const MessageDb&) = delete;

    QSqlQuery run(const QString& sql, const QVariantList& values = {}) const
    {
        QSqlQuery query(QSqlDatabase::database(module->connectionName()));
        if (!query.prepare(sql))
            qFatal("%s: %s", qUtf8Printable(sql), qUtf8Printable(query.lastError().text()));
        for (const QVariant& value : values)
            query.addBindValue(value);
        if (!query.exec())
            qFatal("%s: %s", qUtf8Printable(sql), qUtf8Printable(query.lastError().text()));
        return query;
    }

    int addMessage(const QString& shortName, const QString& hotword, const QString& text, int groupID = 0,
                   const QVariant& notes = {}) const
    {
        QSqlQuery query = run(QStringLiteral("insert into FAQ (ShortName, Hotword, Text, GroupID, Notes) "
                                             "values (?, ?, ?, ?, ?)"),
                              {shortName, hotword, text, groupID, notes});
        return query.lastInsertId().toInt();
    }
    void addKeyword(int messageID, const QString& keyword) const
    {
        run(QStringLiteral("insert into FAQKeywords (FAQID, Keyword) values (?, ?)"), {messageID, keyword});
    }
    void addAttachment(int messageID, const QString& file, bool askFirst) const
    {
        run(QStringLiteral("insert into FAQAttachments (FAQID, Filename, PromptToUse) values (?, ?, ?)"),
            {messageID, file, askFirst});
    }
    void moveMessage(int messageID, int groupID) const
    {
        run(QStringLiteral("update FAQ set GroupID = ? where ID = ?"), {groupID, messageID});
    }
    void deleteMessage(int messageID) const { run(QStringLiteral("delete from FAQ where ID = ?"), {messageID}); }

    template <typename T> static void setOption(const SettingKey<T>& key, const QString& value)
    {
        OpenOptionsFile().writeText(key.section, key.key, value);
    }
    template <typename T> static QString option(const SettingKey<T>& key)
    {
        return OpenOptionsFile().readText(key.section, key.key, QStringLiteral("<missing>"));
    }

    QTemporaryDir folder;
    std::unique_ptr<TdmFAQData> module;
};
