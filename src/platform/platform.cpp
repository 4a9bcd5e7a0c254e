#include "platform/platform.h"

#include "platform/localchannel.h"

WindowSystem::~WindowSystem() = default;

WindowHandle WindowSystem::ownWindow(std::uint64_t nativeId, const QString&)
{
    return nativeId;
}
KeyboardSynth::~KeyboardSynth() = default;
Clipboard::~Clipboard() = default;
GlobalHotKey::~GlobalHotKey() = default;
LoginStart::~LoginStart() = default;
DateFormats::~DateFormats() = default;
FileOpener::~FileOpener() = default;
LocalChannel::~LocalChannel() = default;
