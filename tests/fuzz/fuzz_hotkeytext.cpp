// Reads a hot-key text and writes it back: the written text must read as the same key, and
// write as itself again. The first three bytes, taken as a key code and its Shift/Alt/Ctrl
// set, must read back as a key of the same name (the keypad digits read as the main
// keyboard's) with the same set.

#include "settings/hotkeytext.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const HotKey parsed = TextToHotKey(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QString written = HotKeyToText(parsed);
    if (parsed.key == 0 ? !written.isEmpty() : TextToHotKey(written) != parsed)
        std::abort();
    if (HotKeyToText(TextToHotKey(written)) != written)
        std::abort();

    if (size >= 3) {
        const HotKey given{std::uint16_t(data[0] | data[1] << 8), std::uint8_t(data[2] & 7)};
        const QString name = VirtualKeyName(given.key);
        const HotKey read = TextToHotKey(HotKeyToText(given));
        if (!name.isEmpty() && (VirtualKeyName(read.key) != name || read.shift != given.shift))
            std::abort();
    }
    return 0;
}
