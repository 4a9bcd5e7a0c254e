#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <functional>

// Replaces each match of pattern in text by the token that tokenFor gives. A match for
// which it gives a null text stays as written, and "<subject>: <match> kept as plain
// text." is added to remarks.
QString ConvertReferences(const QString& text, const QRegularExpression& pattern,
                          const std::function<QString(const QRegularExpressionMatch&)>& tokenFor,
                          const QString& subject, QStringList& remarks);
