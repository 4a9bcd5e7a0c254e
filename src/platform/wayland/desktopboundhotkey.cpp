#include "platform/wayland/desktopboundhotkey.h"

bool DesktopBoundHotKey::setKey(std::uint16_t, std::uint8_t)
{
    return true;
}

void DesktopBoundHotKey::clear() { }

void DesktopBoundHotKey::setCallback(std::function<void()>) { }
