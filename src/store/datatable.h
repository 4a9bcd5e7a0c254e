#pragma once

#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

// The state of a table object: closed, browsing, or editing/inserting its current row.
enum class DataSetState { Inactive = 0, Browse = 1, Edit = 2, Insert = 3 };

// A table of the database with a current row, a simple filter ("id = 5"), optional
// master/detail link, and insert/edit/post/cancel/delete on the current row.
class DataTable : public QObject {
    Q_OBJECT
public:
    DataTable(QString objectName, QString tableName, QStringList fields, QObject* parent = nullptr);

    const QString& tableName() const { return m_tableName; }
    const QStringList& fields() const { return m_fields; }
    void setConnection(const QString& connectionName);
    // The autoincrement key, read-only to callers; rows are updated and deleted by it.
    void setKeyField(const QString& field);
    const QString& keyField() const { return m_keyField; }
    // A column that the database advances on every change of a row, added to the fields
    // (before open). An edit then writes only when the row still has the value it was read
    // with; read-only to callers.
    void setVersionField(const QString& field);
    const QString& versionField() const { return m_versionField; }

    // Detail link: this table holds only the rows whose detailField equals the master's
    // current masterField, re-reads when the master's current row changes, and new rows
    // get that value without the caller setting it.
    void setMaster(DataTable* master, const QString& detailField, const QString& masterField);
    const QString& detailField() const { return m_detailField; }

    void open();
    void close();
    bool isOpen() const { return m_state != DataSetState::Inactive; }
    DataSetState state() const { return m_state; }

    // Only "<field> = <integer>" is understood; raises Error for anything else.
    void setFilter(const QString& filter);
    const QString& filter() const { return m_filter; }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }
    // Reads the rows again (keeps the position when it can).
    void refresh();

    int recordCount() const;
    bool isEmpty() const { return recordCount() == 0; }
    // Current row, 0-based; -1 when there is none.
    int currentRow() const { return m_current; }
    // Moving away from a pending insert or edit posts it first.
    void setCurrentRow(int row);
    void first();
    // Past the last row there is no current row and eof() is true.
    void next();
    bool eof() const;

    // Fields of the current row (or of the row being edited or inserted).
    QVariant fieldValue(const QString& field) const;
    QString fieldText(const QString& field) const;
    // A field of any listed row, 0-based; the row being edited shows its pending values.
    QVariant valueAt(int row, const QString& field) const;
    // Whether a pending insert or edit has a field set by the caller (the master link
    // of a new detail row does not count).
    bool modified() const;
    // Only in Edit or Insert.
    void setFieldValue(const QString& field, const QVariant& value);

    // A detail row takes the master's key; without a posted master row it is refused.
    void insert();
    void edit();
    // Writes the pending insert or edit; after an insert the new row is current.
    // A pending edit keeps writing to its own row even when a filter or refresh has
    // changed the current row meanwhile. With a version field, an edit of a row that was
    // changed since it was read raises ChangedMeanwhile, of one deleted since then
    // DeletedMeanwhile; both leave the edit pending.
    // A refusal goes to the post-error handler when one is set (the handler raises
    // Abort to end the operation silently); otherwise it raises Error.
    void post();
    void cancel();
    // The pending edit takes the version that its row has in the database now, so that its
    // next post writes over the change made meanwhile. False when the row is gone.
    bool adoptStoredVersion();
    // Deletes the current row.
    void deleteRow();
    // The key of the row that the last successful post wrote.
    QVariant postedKey() const { return m_postedKey; }

    using PostErrorHandler = std::function<void(const QString& databaseText)>;
    void setPostErrorHandler(PostErrorHandler handler);

    // A table of a database opened for reading only: insert, edit and delete raise
    // StoreError with this reason. Empty: writable.
    void setReadOnlyReason(const QString& reason) { m_readOnlyReason = reason; }

Q_SIGNALS:
    void stateChanged(DataSetState state);
    // The current row changed (scroll, refresh, filter, post, delete).
    void currentRowChanged();

private:
    int fieldIndex(const QString& field) const;
    int requireField(const QString& field) const;
    QSqlDatabase database() const;
    // The key of the row that fieldValue reads: the pending edit's, none while inserting,
    // else the current row's.
    QVariant effectiveKey() const;
    QVariant masterValue() const;
    void reload(bool keepPosition);
    // Reads a row that was listed by key only.
    const QVariantList& rowAt(int row) const;
    QVariantList readRow(const QVariant& key) const;
    void postEdit();
    void postInsert();
    void refused(const QString& databaseText);
    void refuseWhenReadOnly() const;
    void setState(DataSetState state);
    void notifyRowChange(const QVariant& keyBefore);

    QString m_tableName;
    QStringList m_fields;
    QString m_connectionName;
    DataTable* m_master = nullptr;
    QString m_detailField;
    QString m_masterField;
    QString m_filter;
    bool m_filtered = false;
    DataSetState m_state = DataSetState::Inactive;
    int m_current = -1;
    // Rows of a large unfiltered table are listed by key and read when first used.
    mutable QList<QVariantList> m_rows;
    QVariantList m_keys;
    QVariantList m_buffer;
    QList<bool> m_dirty;
    QVariant m_editKey;
    QVariant m_postedKey;
    QString m_keyField;
    QString m_versionField;
    QList<DataTable*> m_details;
    PostErrorHandler m_postError;
    QString m_readOnlyReason;
};
