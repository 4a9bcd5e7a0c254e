#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <functional>

// Replaces each match of pattern in text by the token that tokenFor gives. A match for
// which it gives a null text stays as written, and "<subject>: <match> kept as plain
// text." is added to remarks, or "<subject>: <match> kept as plain text: <why>." where
// keptWhy gives a reason for it. A result longer than a field may hold raises FormatError
// naming origin and subject, as soon as it grows past that.
QString ConvertReferences(const QString& text, const QRegularExpression& pattern,
                          const std::function<QString(const QRegularExpressionMatch&)>& tokenFor, const QString& origin,
                          const QString& subject, QStringList& remarks,
                          const std::function<QString(const QRegularExpressionMatch&)>& keptWhy = {});
