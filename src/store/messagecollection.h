#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One Message as it travels between the database and an exchange file.
struct CollectedAttachment {
    QString fileName;
    bool askFirst = false;

    bool operator==(const CollectedAttachment&) const = default;
};

struct CollectedMessage {
    // Identifies the Message within its collection only; 0 is never used.
    int id = 0;
    // The id of the Message it is placed under, 0 for the top level.
    int parentId = 0;
    QString shortName;
    QString hotword;
    QString text;
    QString notes;
    QStringList keywords;
    QList<CollectedAttachment> attachments;
    // Where the Message came from, for messages about it: "line 12", "matches[3]".
    QString origin;

    bool operator==(const CollectedMessage& other) const
    {
        return id == other.id && parentId == other.parentId && shortName == other.shortName && hotword == other.hotword
            && text == other.text && notes == other.notes && keywords == other.keywords
            && attachments == other.attachments;
    }
};

// A whole set of Messages with their tree, independent of any file format.
struct MessageCollection {
    QList<CollectedMessage> messages;
    // What a reader could not carry over exactly (kept as plain text or left out).
    QStringList remarks;
    // What a reader turned into a token of this program where the file wrote it otherwise.
    QStringList converted;

    // The first fault of the tree: a repeated or non-positive id, a parent that is not in
    // the collection, or a loop of parents; as "<origin>: <reason>", empty when sound.
    QString treeFault() const;
    // The indexes of the Messages with parents before children: each level in collection
    // order, children right after their parent.
    QList<qsizetype> treeOrder() const;
};
