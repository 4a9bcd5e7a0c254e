#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// Parses JSON text; a syntax error raises FormatError naming its line and column, text
// that is not UTF-8 or holds a NUL character (also as \u0000) one naming its line and byte offset.
QJsonDocument ParseJson(const QByteArray& data);

// Typed reads of a member; a value of another type raises FormatError naming the path,
// e.g. "messages[3].hotword". A missing member gives the fallback.
QString JsonText(const QJsonObject& object, const QString& path, const QString& key, const QString& fallback = {});
int JsonWholeNumber(const QJsonObject& object, const QString& path, const QString& key, int fallback);
bool JsonBool(const QJsonObject& object, const QString& path, const QString& key, bool fallback);
QJsonArray JsonArray(const QJsonObject& object, const QString& path, const QString& key);
QJsonObject JsonObjectAt(const QJsonArray& array, const QString& path, qsizetype index);
