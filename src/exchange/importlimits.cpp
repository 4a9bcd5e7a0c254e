#include "exchange/importlimits.h"

#include "exchange/exchangeformats.h"

#include <QLocale>

using namespace Qt::StringLiterals;

namespace {

// Numbers with thousands separators, whatever the user's locale: "8,388,608".
QString Number(qsizetype value)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(value);
}

qsizetype LineAt(const QByteArray& data, qsizetype offset)
{
    return QByteArrayView(data).first(offset).count('\n') + 1;
}

// Length of the UTF-8 sequence that starts at offset, 0 when the bytes there form none:
// a stray continuation byte, a cut sequence, an overlong form, a surrogate or a code
// point above U+10FFFF.
qsizetype Utf8SequenceLength(const QByteArray& data, qsizetype offset)
{
    const auto byte = [&](qsizetype i) { return uchar(data.at(i)); };
    const uchar lead = byte(offset);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    char32_t min = 0;
    char32_t code = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, min = 0x80, code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, min = 0x800, code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, min = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (offset + length > data.size())
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        if ((byte(offset + i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(offset + i) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

[[noreturn]] void FailAt(const QByteArray& data, qsizetype offset, const QString& what)
{
    throw FormatError(u"Line %1, byte offset %2: %3."_s.arg(LineAt(data, offset)).arg(offset).arg(what));
}

const QString nulRefusal = u"a NUL character, which no Message may hold"_s;

// "<origin>: <what>.", starting with a capital unless the origin is a JSON path.
[[noreturn]] void FailIn(const CollectedMessage& message, const QString& what)
{
    QString text = (message.origin.isEmpty() ? QString() : message.origin + u": "_s) + what + u'.';
    if (message.origin.isEmpty() || message.origin.startsWith(u"line "_s))
        text[0] = text[0].toUpper();
    throw FormatError(text);
}

} // namespace

QString FileLimitText()
{
    return u"64 MiB (%1 bytes)"_s.arg(Number(MaxImportFileBytes));
}

QString FieldLimitText()
{
    return u"8 Mi characters (%1)"_s.arg(Number(MaxFieldLength));
}

QString TotalLimitText()
{
    return u"64 Mi characters (%1)"_s.arg(Number(MaxImportCharacters));
}

void CheckImportText(const QByteArray& data)
{
    for (qsizetype i = 0; i < data.size();) {
        if (data.at(i) == '\0')
            FailAt(data, i, nulRefusal);
        const qsizetype length = Utf8SequenceLength(data, i);
        if (length == 0) {
            const QString hex = QString::number(uchar(data.at(i)), 16).toUpper().rightJustified(2, u'0');
            FailAt(data, i, u"the file is not UTF-8 text (byte 0x%1); save it as UTF-8 and import it again"_s.arg(hex));
        }
        i += length;
    }
}

void CheckJsonNulEscapes(const QByteArray& data)
{
    // Backslashes appear only inside JSON strings, so an odd run of them starts an escape.
    for (qsizetype at = data.indexOf("u0000"); at >= 0; at = data.indexOf("u0000", at + 1)) {
        qsizetype backslashes = 0;
        while (at - backslashes > 0 && data.at(at - backslashes - 1) == '\\')
            ++backslashes;
        if (backslashes % 2 == 1)
            FailAt(data, at - 1, u"the escape \\u0000 stands for "_s + nulRefusal);
    }
}

void CheckImportFields(const MessageCollection& collection)
{
    qsizetype total = 0;
    for (const CollectedMessage& message : collection.messages) {
        const auto check = [&](const QString& value, const QString& field) {
            if (value.size() > MaxFieldLength)
                FailIn(message,
                       u"the %1 field has %2 characters, more than the %3 a field may hold"_s.arg(
                           field, Number(value.size()), FieldLimitText()));
            total += value.size();
            if (total > MaxImportCharacters)
                FailIn(
                    message,
                    u"the Messages of the file hold more than %1, the most one import takes"_s.arg(TotalLimitText()));
        };
        check(message.shortName, u"short description"_s);
        check(message.hotword, u"Hotword"_s);
        check(message.text, u"text"_s);
        check(message.notes, u"notes"_s);
        for (const QString& keyword : message.keywords)
            check(keyword, u"keyword"_s);
        for (const CollectedAttachment& attachment : message.attachments)
            check(attachment.fileName, u"attachment file name"_s);
    }
}
