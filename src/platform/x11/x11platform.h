#pragma once

#include "platform/platform.h"

#include <memory>

// The desktop of an X11 session, reached through the X connection of the running
// QGuiApplication (xcb platform plugin). Create it after the application object and
// destroy it before; raises Error when Qt does not run on X11.
class X11Platform {
public:
    virtual ~X11Platform();
    virtual Platform& interfaces() = 0;
};

std::unique_ptr<X11Platform> CreateX11Platform();
