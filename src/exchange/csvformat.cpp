#include "exchange/exchangeformats.h"
#include "exchange/importlimits.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace {

const QStringList columnNames{u"ID"_s,   u"ParentID"_s, u"ShortName"_s, u"Hotword"_s,
                              u"Text"_s, u"Notes"_s,    u"Keywords"_s,  u"Attachments"_s};
enum Column { ColId, ColParentId, ColShortName, ColHotword, ColText, ColNotes, ColKeywords, ColAttachments };

const QString askFlag = u"True"_s;
const QString sendFlag = u"False"_s;

QString CsvField(const QString& value)
{
    if (!value.contains(u',') && !value.contains(u'"') && !value.contains(u'\n') && !value.contains(u'\r'))
        return value;
    QString quoted = value;
    quoted.replace(u"\""_s, u"\"\""_s);
    return u'"' + quoted + u'"';
}

struct Record {
    int line = 0;
    QStringList fields;
};

[[noreturn]] void Fail(int line, const QString& reason)
{
    throw FormatError(u"Line %1: %2."_s.arg(line).arg(reason));
}

// Splits RFC 4180 text into records; a record ends at CR LF or LF outside quotes. Blank
// lines are passed over.
QList<Record> SplitRecords(const QString& text)
{
    QList<Record> records;
    Record record{1, {}};
    QString field;
    int line = 1;
    bool fieldStarted = false; // the current field has consumed a character
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto endRecord = [&] {
        if (fieldStarted || !record.fields.isEmpty()) {
            record.fields.append(field);
            records.append(record);
        }
        record = Record{line, {}};
        field.clear();
        fieldStarted = false;
    };
    while (i < n) {
        const QChar c = text.at(i);
        if (c == u'"' && !fieldStarted) {
            const int opened = line;
            fieldStarted = true;
            ++i;
            for (;;) {
                if (i >= n)
                    Fail(opened, u"a quoted field is not closed"_s);
                const QChar q = text.at(i++);
                if (q == u'"') {
                    if (i < n && text.at(i) == u'"') {
                        field += u'"';
                        ++i;
                        continue;
                    }
                    break;
                }
                if (q == u'\n')
                    ++line;
                field += q;
            }
            if (i < n && text.at(i) != u',' && text.at(i) != u'\n' && text.at(i) != u'\r')
                Fail(line, u"text follows the closing quote of a field"_s);
        } else if (c == u',') {
            record.fields.append(field);
            field.clear();
            fieldStarted = false;
            ++i;
        } else if (c == u'\n' || c == u'\r') {
            i += (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n') ? 2 : 1;
            ++line;
            endRecord();
        } else if (c == u'"') {
            Fail(line, u"a quote inside a field that does not start with one"_s);
        } else {
            fieldStarted = true;
            field += c;
            ++i;
        }
    }
    endRecord();
    return records;
}

int WholeNumber(const Record& record, const QString& text, const QString& column, bool emptyIsZero)
{
    if (text.isEmpty() && emptyIsZero)
        return 0;
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 0)
        Fail(record.line, u"%1 \"%2\" is not a whole number"_s.arg(column, text));
    return value;
}

QStringList Lines(const QString& field)
{
    QStringList lines;
    for (QString line : field.split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}

} // namespace

QByteArray WriteCsv(const MessageCollection& collection)
{
    QString out = columnNames.join(u',') + u"\r\n"_s;
    for (const CollectedMessage& message : collection.messages) {
        QStringList attachments;
        for (const CollectedAttachment& attachment : message.attachments)
            attachments.append((attachment.askFirst ? askFlag : sendFlag) + u'|' + attachment.fileName);
        const QStringList fields{QString::number(message.id),
                                 QString::number(message.parentId),
                                 message.shortName,
                                 message.hotword,
                                 message.text,
                                 message.notes,
                                 message.keywords.join(u'\n'),
                                 attachments.join(u'\n')};
        QStringList quoted;
        for (const QString& field : fields)
            quoted.append(CsvField(field));
        out += quoted.join(u',') + u"\r\n"_s;
    }
    return "\xEF\xBB\xBF" + out.toUtf8();
}

MessageCollection ReadCsv(const QByteArray& data)
{
    CheckImportText(data);
    const QString text = QString::fromUtf8(data);
    const QList<Record> records = SplitRecords(text.startsWith(QChar(0xFEFF)) ? text.mid(1) : text);
    if (records.isEmpty())
        throw FormatError(u"The file is empty; its first line must name the columns."_s);

    const Record& header = records.first();
    QHash<int, qsizetype> columnAt;
    for (qsizetype i = 0; i < header.fields.size(); ++i) {
        const QString name = header.fields.at(i).trimmed();
        qsizetype column = -1;
        for (qsizetype c = 0; c < columnNames.size(); ++c) {
            if (name.compare(columnNames.at(c), Qt::CaseInsensitive) == 0)
                column = c;
        }
        if (column < 0)
            Fail(header.line, u"unknown column \"%1\"; the columns are %2"_s.arg(name, columnNames.join(u", "_s)));
        if (columnAt.contains(int(column)))
            Fail(header.line, u"the column %1 appears twice"_s.arg(columnNames.at(column)));
        columnAt.insert(int(column), i);
    }
    for (Column required : {ColShortName, ColHotword, ColText}) {
        if (!columnAt.contains(required))
            Fail(header.line, u"the column %1 is missing"_s.arg(columnNames.at(required)));
    }
    if (columnAt.contains(ColId) != columnAt.contains(ColParentId))
        Fail(header.line, u"the columns ID and ParentID go together"_s);
    const bool withIds = columnAt.contains(ColId);

    MessageCollection collection;
    collection.messages.reserve(records.size() - 1);
    for (qsizetype r = 1; r < records.size(); ++r) {
        const Record& record = records.at(r);
        if (record.fields.size() != header.fields.size())
            Fail(record.line,
                 u"%1 fields where the first line names %2 columns"_s.arg(record.fields.size())
                     .arg(header.fields.size()));
        auto field = [&](Column column) {
            const qsizetype at = columnAt.value(column, -1);
            return at < 0 ? QString() : record.fields.at(at);
        };
        CollectedMessage message;
        message.origin = u"line %1"_s.arg(record.line);
        message.id = withIds ? WholeNumber(record, field(ColId), u"ID"_s, false) : int(r);
        message.parentId = withIds ? WholeNumber(record, field(ColParentId), u"ParentID"_s, true) : 0;
        message.shortName = field(ColShortName);
        message.hotword = field(ColHotword);
        message.text = field(ColText);
        message.notes = field(ColNotes);
        message.keywords = Lines(field(ColKeywords));
        for (const QString& line : Lines(field(ColAttachments))) {
            const QString flag = line.section(u'|', 0, 0);
            if (!line.contains(u'|')
                || (flag.compare(askFlag, Qt::CaseInsensitive) != 0
                    && flag.compare(sendFlag, Qt::CaseInsensitive) != 0))
                Fail(record.line, u"the attachment \"%1\" must start with True| or False|"_s.arg(line));
            message.attachments.append({line.mid(flag.size() + 1), flag.compare(askFlag, Qt::CaseInsensitive) == 0});
        }
        collection.messages.append(std::move(message));
    }
    if (QString fault = collection.treeFault(); !fault.isEmpty()) {
        fault[0] = fault[0].toUpper();
        throw FormatError(fault + u'.');
    }
    return collection;
}
