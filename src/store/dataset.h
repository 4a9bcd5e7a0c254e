#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// A result read whole into memory, so it can be counted before any row is read.
// Column names match without regard to case; NULL reads as empty text.
class DataSet {
public:
    DataSet() = default;
    DataSet(QStringList fieldNames, QList<QVariantList> rows);

    int recordCount() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    const QStringList& fieldNames() const { return m_fieldNames; }
    bool hasField(const QString& name) const;

    // Raises Error when the row or the field does not exist.
    QVariant value(int row, const QString& field) const;
    QString text(int row, const QString& field) const;
    int integer(int row, const QString& field) const;
    bool boolean(int row, const QString& field) const;

private:
    int fieldIndex(const QString& name) const;

    QStringList m_fieldNames;
    QList<QVariantList> m_rows;
};
