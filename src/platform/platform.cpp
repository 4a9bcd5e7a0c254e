#include "platform/platform.h"

WindowSystem::~WindowSystem() = default;
KeyboardSynth::~KeyboardSynth() = default;
Clipboard::~Clipboard() = default;
GlobalHotKey::~GlobalHotKey() = default;
LoginStart::~LoginStart() = default;
