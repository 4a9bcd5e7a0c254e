#include "exchange/jsonsupport.h"

#include "exchange/exchangeformats.h"
#include "exchange/importlimits.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

QString Member(const QString& path, const QString& key)
{
    return path.isEmpty() ? key : path + u'.' + key;
}

[[noreturn]] void Expected(const QString& where, const QString& what)
{
    throw FormatError(u"%1: expected %2."_s.arg(where, what));
}

} // namespace

QJsonDocument ParseJson(const QByteArray& data)
{
    CheckImportText(data);
    CheckJsonNulEscapes(data);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError) {
        const QByteArray before = data.left(error.offset);
        const qsizetype line = before.count('\n') + 1;
        const qsizetype column = error.offset - (before.lastIndexOf('\n') + 1) + 1;
        throw FormatError(u"Line %1, column %2: %3."_s.arg(line).arg(column).arg(error.errorString()));
    }
    return document;
}

QString JsonText(const QJsonObject& object, const QString& path, const QString& key, const QString& fallback)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return fallback;
    if (!value.isString())
        Expected(Member(path, key), u"a text"_s);
    return value.toString();
}

int JsonWholeNumber(const QJsonObject& object, const QString& path, const QString& key, int fallback)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return fallback;
    const double number = value.toDouble(-1);
    if (!value.isDouble() || number < 0 || number > 2147483647.0 || std::floor(number) != number)
        Expected(Member(path, key), u"a whole number"_s);
    return int(number);
}

bool JsonBool(const QJsonObject& object, const QString& path, const QString& key, bool fallback)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return fallback;
    if (!value.isBool())
        Expected(Member(path, key), u"true or false"_s);
    return value.toBool();
}

QJsonArray JsonArray(const QJsonObject& object, const QString& path, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return {};
    if (!value.isArray())
        Expected(Member(path, key), u"an array"_s);
    return value.toArray();
}

QJsonObject JsonObjectAt(const QJsonArray& array, const QString& path, qsizetype index)
{
    const QJsonValue value = array.at(index);
    if (!value.isObject())
        Expected(u"%1[%2]"_s.arg(path).arg(index), u"an object"_s);
    return value.toObject();
}
