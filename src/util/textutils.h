#pragma once

#include <QString>

// Text and path helpers. Positions are 1-based in UTF-16 units; 0 means "not found".
// Out-of-range starts and counts are clamped, never reported.

QString TextMid(const QString& text, qsizetype start, qsizetype count);
QString TextLeft(const QString& text, qsizetype count);
QString TextRight(const QString& text, qsizetype count);
QString TextDropRight(const QString& text, qsizetype count);

// Case-insensitive search: plain scan for needles up to 8 units, skip table from 9 on.
qsizetype TextPosNoCase(const QString& needle, const QString& haystack);
// The skip-table method on its own, comparing exactly (callers lower-case first).
qsizetype TextPosSkipTable(const QString& needle, const QString& haystack);
// The plain left-to-right method on its own, comparing exactly.
qsizetype TextPosScan(const QString& needle, const QString& haystack);

QString TextBefore(const QString& text, const QString& delimiter);
QString TextAfter(const QString& text, const QString& delimiter);
QString TextBetween(const QString& text, const QString& startDelimiter, const QString& endDelimiter);

QString JoinPath(const QString& folder, const QString& name);
// Folder of the running executable, without a trailing separator.
QString AppDir();
// Tests point AppDir at a folder of their own; an empty text restores the real folder.
void OverrideAppDir(const QString& folder);

bool TextToBool(const QString& text);
QString BoolToText(bool value);
