#include "compose/tokensources.h"

ClipboardTextSource::~ClipboardTextSource() = default;
Clock::~Clock() = default;
DateFormats::~DateFormats() = default;
FreeTextPrompt::~FreeTextPrompt() = default;
IncludeLookup::~IncludeLookup() = default;
