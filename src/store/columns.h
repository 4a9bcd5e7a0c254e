#pragma once

#include <QString>

// Characters the columns of the Message database hold.
namespace Column {
constexpr qsizetype HotwordLength = 50;
constexpr qsizetype ShortNameLength = 50;
constexpr qsizetype KeywordLength = 50;
constexpr qsizetype FileNameLength = 255;
} // namespace Column

// The start of the Hotword followed by the suffix, cut so that the whole fits the column;
// a character made of two UTF-16 units is never split.
QString HotwordWithSuffix(const QString& hotword, const QString& suffix);
