#include "exchange/exchangeformats.h"
#include "exchange/importlimits.h"
#include "exchange/jsonsupport.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace {

MessageCollection ReadCollectionData(const QString& path, const QByteArray& data, const TokenDates& dates)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"csv"_s)
        return ReadCsv(data);
    if (suffix == u"yml"_s || suffix == u"yaml"_s)
        return ReadEspanso(data, path, dates);
    if (suffix == u"json"_s) {
        const QJsonObject root = ParseJson(data).object();
        if (root.contains(u"combos"_s) && !root.contains(u"format"_s))
            return ReadBeeftext(data, dates);
        return ReadJson(data);
    }
    throw Error(u"%1 is neither a CSV file (.csv), a JSON file (.json) nor an Espanso match file (.yml)."_s.arg(path));
}

} // namespace

MessageCollection ReadCollectionFile(const QString& path, const TokenDates& dates)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(u"Cannot read %1: %2"_s.arg(path, file.errorString()));
    if (file.size() > MaxImportFileBytes)
        throw FormatError(u"The file is larger than %1, the most an import reads."_s.arg(FileLimitText()));
    const QByteArray data = file.readAll();
    MessageCollection collection = ReadCollectionData(path, data, dates);
    CheckImportFields(collection);
    return collection;
}

void WriteCollectionFile(const QString& path, const MessageCollection& collection)
{
    const QByteArray data = QFileInfo(path).suffix().compare(u"csv"_s, Qt::CaseInsensitive) == 0
        ? WriteCsv(collection)
        : WriteJson(collection);
    // Written whole or not at all: a failed export leaves an earlier file intact.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        throw Error(u"Cannot write %1: %2"_s.arg(path, file.errorString()));
}
