#pragma once

#include "store/messagecollection.h"

#include <functional>

class TdmFAQData;

// Every Message with its keywords and attachments, parents before children and each
// level in the order of creation, numbered 1, 2, ... in that order. A Message whose
// parent no longer exists is placed at the top level.
MessageCollection ReadAllMessages(TdmFAQData& dm);

// What becomes of a Message whose Hotword is taken or that breaks the rules of a saved
// Message in a way that a change can mend.
enum class ImportChoice { Skip, Rename };

// A Message that cannot be imported as it stands.
struct ImportIssue {
    QString origin;
    QString hotword;
    QString reason;
    // Whether ImportChoice::Rename imports it (with a suffixed or shortened Hotword, or a
    // shortened description); otherwise it is always skipped.
    bool mendable = false;
};

struct ImportOutcome {
    int messages = 0;
    int groups = 0;
    int keywords = 0;
    int attachments = 0;
    // One line per Message left out, per change made and per keyword or attachment
    // dropped, in the order of the collection's tree.
    QStringList skipped;
    QStringList changed;
};

// The issues that ImportMessages would meet, found without writing anything.
QList<ImportIssue> FindImportIssues(TdmFAQData& dm, const MessageCollection& collection);

// Adds the collection to the database in one transaction: every Message gets a new ID and
// keeps its place in the tree (below its nearest imported ancestor when its parent is
// left out). Nothing is written when the database refuses any row (StoreError, naming the
// Message's origin) or when progress answers false (Abort). progress gets the number of
// Messages written so far and the number to write.
ImportOutcome ImportMessages(TdmFAQData& dm, const MessageCollection& collection, ImportChoice choice,
                             const std::function<bool(qsizetype done, qsizetype total)>& progress = {});
