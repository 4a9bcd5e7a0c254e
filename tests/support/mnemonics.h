#pragma once

#include <QMap>
#include <QStringList>

// The accelerator letters ("&x", lower case) that more than one of the captions carries.
inline QStringList RepeatedMnemonics(const QStringList& captions)
{
    QMap<QChar, int> uses;
    for (const QString& caption : captions) {
        for (qsizetype at = caption.indexOf(u'&'); at >= 0 && at + 1 < caption.size();
             at = caption.indexOf(u'&', at + 2)) {
            if (caption[at + 1] != u'&')
                ++uses[caption[at + 1].toLower()];
        }
    }
    QStringList repeated;
    for (auto use = uses.cbegin(); use != uses.cend(); ++use) {
        if (use.value() > 1)
            repeated << QString(use.key());
    }
    return repeated;
}
