#include "exchange/tokenconversion.h"

using namespace Qt::StringLiterals;

QString ConvertReferences(const QString& text, const QRegularExpression& pattern,
                          const std::function<QString(const QRegularExpressionMatch&)>& tokenFor,
                          const QString& subject, QStringList& remarks)
{
    QString result;
    qsizetype last = 0;
    for (auto it = pattern.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString token = tokenFor(m);
        result += QStringView(text).mid(last, m.capturedStart() - last);
        if (token.isNull()) {
            result += m.captured(0);
            remarks.append(u"%1: %2 kept as plain text."_s.arg(subject, m.captured(0)));
        } else {
            result += token;
        }
        last = m.capturedEnd();
    }
    return result + QStringView(text).mid(last);
}
