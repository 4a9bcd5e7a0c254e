#pragma once

#include <QByteArray>

#include <X11/Xlib.h>

// A window's _NET_WM_NAME, read directly, as fast as the benchmarks poll it.
inline QByteArray WindowTitle(Display* display, Window window)
{
    const Atom name = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    QByteArray title;
    if (XGetWindowProperty(display, window, name, 0, 1024, False, utf8, &type, &format, &count, &after, &data)
            == Success
        && data) {
        title = QByteArray(reinterpret_cast<const char*>(data), int(count));
        XFree(data);
    }
    return title;
}
