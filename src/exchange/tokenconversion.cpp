#include "exchange/tokenconversion.h"

#include "exchange/exchangeformats.h"
#include "exchange/importlimits.h"

using namespace Qt::StringLiterals;

QString ConvertReferences(const QString& text, const QRegularExpression& pattern,
                          const std::function<QString(const QRegularExpressionMatch&)>& tokenFor, const QString& origin,
                          const QString& subject, QStringList& remarks,
                          const std::function<QString(const QRegularExpressionMatch&)>& keptWhy)
{
    // The field check refuses a text that is too long already as written.
    if (text.size() > MaxFieldLength)
        return text;
    QString result;
    qsizetype last = 0;
    const auto append = [&](QStringView piece) {
        if (result.size() + piece.size() > MaxFieldLength) {
            QString where = origin.isEmpty() ? subject : origin + u" ("_s + subject + u')';
            if (where.startsWith(u"line "_s))
                where[0] = u'L';
            throw FormatError(
                u"%1: the text grows past the %2 a field may hold once its variables are filled in."_s.arg(
                    where, FieldLimitText()));
        }
        result += piece;
    };
    for (auto it = pattern.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString token = tokenFor(m);
        append(QStringView(text).mid(last, m.capturedStart() - last));
        if (token.isNull()) {
            append(m.captured(0));
            const QString why = keptWhy ? keptWhy(m) : QString();
            remarks.append(u"%1: %2 kept as plain text%3."_s.arg(subject, m.captured(0),
                                                                 why.isEmpty() ? QString() : u": "_s + why));
        } else {
            append(token);
        }
        last = m.capturedEnd();
    }
    append(QStringView(text).mid(last));
    return result;
}
