#pragma once

#include "compose/tokensources.h"

#include <QString>

#include <functional>
#include <optional>

// Token expansion done literally, one token per pass and each pass rescanning the whole
// text: slow, but easy to check against the written steps. It takes the same rules for
// tokens that cannot be filled in, and clipboard text is data that no token reaches across.

using Fill = std::function<std::optional<QString>(const QString& inner)>;

// Every occurrence of token without regard to case, left to right, by replacement.
QString ReplaceEveryNoCase(const QString& text, const QString& token, const QString& replacement);

// One looping step; fill gives the replacement of a token's inner text, or no value when it
// cannot be filled in. No value where the steps would not end (more than maxPasses).
std::optional<QString> LiteralLoop(QString text, const QString& marker, const QString& closer, const Fill& fill,
                                   int maxPasses);

// The whole expansion. No value where the steps would not end; Abort on a cancelled prompt.
std::optional<QString> LiteralExpansion(const QString& text, const std::optional<QString>& clipboard,
                                        const QString& date, const QString& dateTime, FreeTextPrompt& prompt,
                                        IncludeLookup& includes, int maxPasses);
