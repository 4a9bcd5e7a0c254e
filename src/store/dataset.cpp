#include "store/dataset.h"

#include "util/errors.h"
#include "util/textutils.h"

using namespace Qt::StringLiterals;

DataSet::DataSet(QStringList fieldNames, QList<QVariantList> rows)
    : m_fieldNames(std::move(fieldNames))
    , m_rows(std::move(rows))
{ }

int DataSet::fieldIndex(const QString& name) const
{
    for (qsizetype i = 0; i < m_fieldNames.size(); ++i) {
        if (m_fieldNames.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

bool DataSet::hasField(const QString& name) const
{
    return fieldIndex(name) >= 0;
}

QVariant DataSet::value(int row, const QString& field) const
{
    if (row < 0 || row >= recordCount())
        throw Error(u"Row %1 does not exist in a result of %2 rows."_s.arg(row).arg(recordCount()));
    const int column = fieldIndex(field);
    if (column < 0)
        throw Error(u"The result has no field called %1."_s.arg(field));
    const QVariant& v = m_rows.at(row).at(column);
    return v.isNull() ? QVariant(QString()) : v;
}

QString DataSet::text(int row, const QString& field) const
{
    return value(row, field).toString();
}

int DataSet::integer(int row, const QString& field) const
{
    const QVariant v = value(row, field);
    if (v.typeId() == QMetaType::QString && v.toString().isEmpty())
        return 0;
    bool ok = false;
    const int result = v.toInt(&ok);
    if (!ok)
        throw Error(u"The field %1 does not hold a whole number: %2"_s.arg(field, v.toString()));
    return result;
}

bool DataSet::boolean(int row, const QString& field) const
{
    const QVariant v = value(row, field);
    switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool();
    case QMetaType::QString:
    case QMetaType::QByteArray: return TextToBool(v.toString().trimmed());
    default: return v.toLongLong() != 0;
    }
}
