#pragma once

#include "platform/platform.h"

// The activation key on a desktop that lets no program claim a key: the user binds the key
// in the desktop's own shortcut settings to the program's command line (--show), which
// reaches the running copy through its instance channel. Every key is taken, so that the
// program does not report it as held by another; the callback is never called.
class DesktopBoundHotKey : public GlobalHotKey {
public:
    bool setKey(std::uint16_t virtualKey, std::uint8_t shiftState) override;
    void clear() override;
    void setCallback(std::function<void()> callback) override;
};
