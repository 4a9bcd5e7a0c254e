#pragma once

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
// after the file; {{clipboard}} and date variables become tokens where the program has
// one, forms become free-text fields; anything else stays as plain text and is remarked.
MessageCollection ReadEspanso(const QByteArray& data, const QString& fileName);

// A Beeftext combo list (JSON): groups become group Messages, combos the Messages under
// them; variables with a counterpart become tokens, the others stay and are remarked.
MessageCollection ReadBeeftext(const QByteArray& data);

// Reads a file of any of these formats, told apart by its extension (.csv, .yml/.yaml,
// .json) and, for JSON, by its content.
MessageCollection ReadCollectionFile(const QString& path);
// Writes CSV for a .csv path, else the program's JSON.
void WriteCollectionFile(const QString& path, const MessageCollection& collection);
