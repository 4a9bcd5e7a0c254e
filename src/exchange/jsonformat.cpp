#include "exchange/exchangeformats.h"
#include "exchange/jsonsupport.h"

using namespace Qt::StringLiterals;

namespace {

const QString formatName = u"Tolvane Quillbay Messages"_s;
constexpr int formatVersion = 1;

} // namespace

QByteArray WriteJson(const MessageCollection& collection)
{
    QJsonArray messages;
    for (const CollectedMessage& message : collection.messages) {
        QJsonArray attachments;
        for (const CollectedAttachment& attachment : message.attachments)
            attachments.append(QJsonObject{{u"fileName"_s, attachment.fileName}, {u"askFirst"_s, attachment.askFirst}});
        messages.append(QJsonObject{{u"id"_s, message.id},
                                    {u"parentId"_s, message.parentId},
                                    {u"shortName"_s, message.shortName},
                                    {u"hotword"_s, message.hotword},
                                    {u"text"_s, message.text},
                                    {u"notes"_s, message.notes},
                                    {u"keywords"_s, QJsonArray::fromStringList(message.keywords)},
                                    {u"attachments"_s, attachments}});
    }
    const QJsonObject root{{u"format"_s, formatName}, {u"version"_s, formatVersion}, {u"messages"_s, messages}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

MessageCollection ReadJson(const QByteArray& data)
{
    const QJsonDocument document = ParseJson(data);
    const QJsonObject root = document.object();
    if (!document.isObject() || JsonText(root, {}, u"format"_s) != formatName)
        throw FormatError(u"format: expected \"%1\"."_s.arg(formatName));
    const int version = JsonWholeNumber(root, {}, u"version"_s, 0);
    if (version != formatVersion)
        throw FormatError(
            u"version: this program reads version %1, the file has version %2."_s.arg(formatVersion).arg(version));

    MessageCollection collection;
    const QJsonArray messages = JsonArray(root, {}, u"messages"_s);
    collection.messages.reserve(messages.size());
    for (qsizetype i = 0; i < messages.size(); ++i) {
        const QString path = u"messages[%1]"_s.arg(i);
        const QJsonObject object = JsonObjectAt(messages, u"messages"_s, i);
        CollectedMessage message;
        message.origin = path;
        message.id = JsonWholeNumber(object, path, u"id"_s, 0);
        message.parentId = JsonWholeNumber(object, path, u"parentId"_s, 0);
        message.shortName = JsonText(object, path, u"shortName"_s);
        message.hotword = JsonText(object, path, u"hotword"_s);
        message.text = JsonText(object, path, u"text"_s);
        message.notes = JsonText(object, path, u"notes"_s);
        const QJsonArray keywords = JsonArray(object, path, u"keywords"_s);
        for (qsizetype k = 0; k < keywords.size(); ++k) {
            if (!keywords.at(k).isString())
                throw FormatError(u"%1.keywords[%2]: expected a text."_s.arg(path).arg(k));
            message.keywords.append(keywords.at(k).toString());
        }
        const QJsonArray attachments = JsonArray(object, path, u"attachments"_s);
        for (qsizetype a = 0; a < attachments.size(); ++a) {
            const QString at = u"%1.attachments[%2]"_s.arg(path).arg(a);
            const QJsonObject attachment = JsonObjectAt(attachments, path + u".attachments"_s, a);
            message.attachments.append(
                {JsonText(attachment, at, u"fileName"_s), JsonBool(attachment, at, u"askFirst"_s, false)});
        }
        collection.messages.append(std::move(message));
    }
    if (const QString fault = collection.treeFault(); !fault.isEmpty())
        throw FormatError(fault + u'.');
    return collection;
}
