#pragma once

#include "exchange/tokendates.h"
#include "store/messagecollection.h"
#include "util/errors.h"

#include <QByteArray>
#include <QString>

// A file that cannot be read as a collection of Messages; the text names the line or the
// JSON path at fault.
class FormatError : public Error {
public:
    using Error::Error;
};

// CSV (RFC 4180, UTF-8, byte-order mark optional), one record per Message under a header
// row naming the columns, in any order and without regard to case:
//   ID, ParentID    whole numbers; ParentID 0 or empty places the Message at the top level.
//                   Both may be left out together: then every Message is at the top level.
//   ShortName, Hotword, Text, Notes
//   Keywords        one keyword per line of the field
//   Attachments     one attachment per line of the field: "True|" (ask before attaching)
//                   or "False|", then the file name
// ShortName, Hotword and Text are required columns; the writer puts a byte-order mark
// first, writes every column in the order above and ends records with CR LF.
QByteArray WriteCsv(const MessageCollection& collection);
MessageCollection ReadCsv(const QByteArray& data);

// The program's own JSON file: an object with "format" "Tolvane Quillbay Messages",
// "version" 1 and "messages", an array of objects with "id", "parentId", "shortName",
// "hotword", "text", "notes", "keywords" (array of texts) and "attachments" (array of
// objects with "fileName" and "askFirst").
QByteArray WriteJson(const MessageCollection& collection);
MessageCollection ReadJson(const QByteArray& data);

// An Espanso match file: each trigger of a match becomes a Message under one group named
// after the file; {{clipboard}} becomes %CLIPBOARD%, a date variable %DATE% or %DATETIME%
// where its format writes the same as that token on this desktop (listed as converted),
// forms become free-text fields; anything else stays as plain text and is remarked.
// Aliases are measured before they are expanded: a file that they would make larger than
// an import reads is refused, as is nesting deeper than 64 levels.
MessageCollection ReadEspanso(const QByteArray& data, const QString& fileName, const TokenDates& dates = {});

// A Beeftext combo list (JSON): groups become group Messages, combos the Messages under
// them; variables with a counterpart become tokens (a #{dateTime:format} only where the
// format writes the same as %DATE% or %DATETIME%, listed as converted), the others stay
// and are remarked.
MessageCollection ReadBeeftext(const QByteArray& data, const TokenDates& dates = {});

// Reads a file of any of these formats, told apart by its extension (.csv, .yml/.yaml,
// .json) and, for JSON, by its content. Every format is refused, naming the line and byte
// offset, when it is not UTF-8 or holds a NUL character, written or escaped; so is a file
// larger than MaxImportFileBytes, and one with a field longer than MaxFieldLength or more
// than MaxImportCharacters in all (importlimits.h).
MessageCollection ReadCollectionFile(const QString& path, const TokenDates& dates = {});
// Writes CSV for a .csv path, else the program's JSON.
void WriteCollectionFile(const QString& path, const MessageCollection& collection);
