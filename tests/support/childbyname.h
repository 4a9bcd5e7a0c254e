#pragma once

#include <QObject>
#include <QtGlobal>

// The child of that object name and type; ends the test when there is none.
template <typename T> T* child(const QObject& parent, const char* name)
{
    T* found = parent.findChild<T*>(QLatin1StringView(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}
