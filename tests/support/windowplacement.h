#pragma once

#include <QWidget>

// How far a window placed before its first show may sit from the place it was given: on
// Windows its frame (title bar and borders) is not known before then; elsewhere Qt knows it.
inline int UnknownFrameHeight([[maybe_unused]] const QWidget& window)
{
#ifdef Q_OS_WIN
    return window.frameGeometry().height() - window.height();
#else
    return 0;
#endif
}
