#include "exchange/exchangeformats.h"
#include "exchange/jsonsupport.h"
#include "settings/replacefile.h"

#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

MessageCollection ReadCollectionFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(u"Cannot read %1: %2"_s.arg(path, file.errorString()));
    const QByteArray data = file.readAll();
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"csv"_s)
        return ReadCsv(data);
    if (suffix == u"yml"_s || suffix == u"yaml"_s)
        return ReadEspanso(data, path);
    if (suffix == u"json"_s) {
        const QJsonObject root = ParseJson(data).object();
        if (root.contains(u"combos"_s) && !root.contains(u"format"_s))
            return ReadBeeftext(data);
        return ReadJson(data);
    }
    throw Error(u"%1 is neither a CSV file (.csv), a JSON file (.json) nor an Espanso match file (.yml)."_s.arg(path));
}

void WriteCollectionFile(const QString& path, const MessageCollection& collection)
{
    const QByteArray data = QFileInfo(path).suffix().compare(u"csv"_s, Qt::CaseInsensitive) == 0
        ? WriteCsv(collection)
        : WriteJson(collection);
    // Written whole or not at all: a failed export leaves an earlier file intact.
    ReplaceFileContents(path, data);
}
