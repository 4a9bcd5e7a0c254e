#include "compose/tokensources.h"

ClipboardTextSource::~ClipboardTextSource() = default;
Clock::~Clock() = default;
FreeTextPrompt::~FreeTextPrompt() = default;
IncludeLookup::~IncludeLookup() = default;
