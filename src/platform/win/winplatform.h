#pragma once

#include "platform/localchannel.h"
#include "platform/platform.h"

#include <memory>

// The Windows desktop behind the platform interfaces. Create it on the thread that runs
// the user interface, after the application object, and destroy it before.
class WinPlatform {
public:
    virtual ~WinPlatform();
    virtual Platform& interfaces() = 0;
};

std::unique_ptr<WinPlatform> CreateWinPlatform();

// Lines between processes through a named pipe \\.\pipe\<address>; the listener answers
// from a message window of the thread that listens, so that thread never waits for a sender.
std::unique_ptr<LocalChannel> CreateWinPipeChannel();
