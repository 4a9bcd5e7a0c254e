#pragma once

#include "store/messagecollection.h"

#include <QByteArray>

// What an import reads at most. A field holds no more than a send pastes.
inline constexpr qsizetype MaxImportFileBytes = qsizetype(64) * 1024 * 1024;
inline constexpr qsizetype MaxFieldLength = qsizetype(8) * 1024 * 1024;
// All fields of all Messages of one file together, after variables and aliases are filled in.
inline constexpr qsizetype MaxImportCharacters = qsizetype(64) * 1024 * 1024;

// "64 MiB (67,108,864 bytes)" and "8 Mi characters (8,388,608)": the limits as the messages name them.
QString FileLimitText();
QString FieldLimitText();
QString TotalLimitText();

// Raises FormatError naming the line and byte offset of the first byte that is not part of
// a UTF-8 character, or of the first NUL character.
void CheckImportText(const QByteArray& data);
// Raises FormatError naming the line and byte offset of the first \u0000 escape of JSON text.
void CheckJsonNulEscapes(const QByteArray& data);
// Raises FormatError, naming the Message's origin and the field, for a field of more than
// MaxFieldLength characters, or when all fields together hold more than MaxImportCharacters.
void CheckImportFields(const MessageCollection& collection);
