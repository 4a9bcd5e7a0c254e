#pragma once

#include "util/errors.h"

// A failure reported by the database (or its absence), as opposed to a fault of the
// caller such as a missing saved-query parameter.
class StoreError : public Error {
public:
    using Error::Error;
};

// The database file or ODBC data source can not be opened or read; the text names it and
// says what is wrong (damaged, locked, unreadable, not this program's, a missing driver).
class DatabaseUnusable : public StoreError {
public:
    using StoreError::StoreError;
};

// The database lacked a column of this version and has been altered; the program ends
// after telling the user, and works fully from its next start.
class SchemaUpgraded : public StoreError {
public:
    using StoreError::StoreError;
};

// A save was refused before the database saw it: the Hotword is longer than its column.
// The row stays pending.
class HotwordTooLong : public StoreError {
public:
    using StoreError::StoreError;
};

// A save was refused because another Message, the owner, has the Hotword. The row stays
// pending.
class HotwordTaken : public StoreError {
public:
    HotwordTaken(QString text, int ownerID, QString ownerShortName)
        : StoreError(std::move(text))
        , m_ownerID(ownerID)
        , m_ownerShortName(std::move(ownerShortName))
    { }
    int ownerID() const { return m_ownerID; }
    const QString& ownerShortName() const { return m_ownerShortName; }

private:
    int m_ownerID;
    QString m_ownerShortName;
};

// Another program holds the embedded database's write lock for longer than a save waits for
// it. The text names the database file; nothing was changed.
class DatabaseBusy : public StoreError {
public:
    using StoreError::StoreError;
};

// A save was refused because someone else changed the Message since it was read; the row
// stays pending with the values typed.
class ChangedMeanwhile : public StoreError {
public:
    using StoreError::StoreError;
};

// The Message (or the one it was to be placed in) was deleted by someone else since it was
// read; nothing was written.
class DeletedMeanwhile : public StoreError {
public:
    using StoreError::StoreError;
};

// A delete was refused because the Message has Messages under it, perhaps added by someone
// else since the tree was read; nothing was deleted.
class HasChildMessages : public StoreError {
public:
    using StoreError::StoreError;
};
