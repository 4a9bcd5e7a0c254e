#include "platform/platform.h"

#include "util/errors.h"

using namespace Qt::StringLiterals;

namespace {
Platform* installed = nullptr;
}

WindowSystem::~WindowSystem() = default;
KeyboardSynth::~KeyboardSynth() = default;
Clipboard::~Clipboard() = default;
GlobalHotKey::~GlobalHotKey() = default;
LoginStart::~LoginStart() = default;

Platform& platform()
{
    if (!installed)
        throw Error(u"No desktop platform is installed."_s);
    return *installed;
}

void setPlatform(Platform* implementation)
{
    installed = implementation;
}

LoginStart* PlatformLoginStart()
{
    return installed ? installed->loginStart : nullptr;
}
