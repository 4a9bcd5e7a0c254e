#include "platform/wayland/virtualkeyboard.h"

#include "platform/wayland/evdevkeys.h"
#include "platform/wayland/waylandconnection.h"
#include "util/errors.h"

#include "virtual-keyboard-unstable-v1-client.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// xkbcommon numbers keys as X does: the Linux input code plus 8.
constexpr std::uint32_t XkbCodeOffset = 8;

Error NoKeyboard(const QString& why)
{
    return Error(u"This desktop does not let the program type into other windows: %1"_s.arg(why));
}

Error KeymapNotHandedOver()
{
    return NoKeyboard(u"the keyboard layout for typing could not be handed to the compositor."_s);
}

// A file that holds the data; -1 when none could be made.
int DataFile(const char* text, std::size_t size)
{
    const int fd = memfd_create("quillbay-keymap", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, text + written, size - written);
        if (n <= 0) {
            close(fd);
            return -1;
        }
        written += std::size_t(n);
    }
    return fd;
}

} // namespace

VirtualKeyboardSynth::VirtualKeyboardSynth(WaylandConnection& wayland)
    : m_wayland(wayland)
{
    m_manager = wayland.bind<zwp_virtual_keyboard_manager_v1>(&zwp_virtual_keyboard_manager_v1_interface, 1);
    if (!m_manager)
        throw NoKeyboard(u"the compositor offers no virtual keyboard."_s);
    wl_seat* seat = wayland.seat();
    if (!seat) {
        release();
        throw NoKeyboard(u"the compositor has no seat."_s);
    }
    m_context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
    m_keymap = m_context ? xkb_keymap_new_from_names(m_context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
    if (char* text = m_keymap ? xkb_keymap_get_as_string(m_keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr) {
        // With its closing NUL, as the keymap request takes it.
        m_keymapText = QByteArray(text, qsizetype(std::strlen(text) + 1));
        std::free(text);
    }
    if (m_keymapText.isEmpty()) {
        release();
        throw NoKeyboard(u"the keyboard layout for typing could not be made (xkbcommon)."_s);
    }
    m_state = xkb_state_new(m_keymap);
    m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_manager, seat);
    if (!uploadKeymap()) {
        release();
        throw KeymapNotHandedOver();
    }
    m_clock.start();
    m_wayland.roundtrip();
}

VirtualKeyboardSynth::~VirtualKeyboardSynth()
{
    try {
        while (!m_down.isEmpty())
            send(m_down.last(), false);
        m_wayland.flush();
    } catch (const Error&) {
        // The compositor is gone, and the keys with it.
    }
    release();
}

void VirtualKeyboardSynth::release()
{
    if (m_keyboard)
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
    zwp_virtual_keyboard_manager_v1_destroy(m_manager);
    xkb_state_unref(m_state);
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

bool VirtualKeyboardSynth::uploadKeymap()
{
    const int fd = DataFile(m_keymapText.constData(), std::size_t(m_keymapText.size()));
    if (fd < 0)
        return false;
    zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   std::uint32_t(m_keymapText.size()));
    // The request holds a copy of the descriptor.
    close(fd);
    return true;
}

std::uint8_t VirtualKeyboardSynth::scanCode(std::uint16_t virtualKey)
{
    return std::uint8_t(EvdevKeyCode(virtualKey, false).value_or(0));
}

void VirtualKeyboardSynth::keyEvent(std::uint16_t virtualKey, std::uint8_t, std::uint32_t flags)
{
    // A key that the keyboard lacks is lost, as a key that the desktop blocks.
    const std::optional<std::uint32_t> code = EvdevKeyCode(virtualKey, (flags & ExtendedKey) != 0);
    if (!code)
        return;
    send(*code, (flags & KeyUp) == 0);
    m_wayland.flush();
}

void VirtualKeyboardSynth::send(std::uint32_t code, bool press)
{
    // A release of a key that is not down would leave the modifier state wrong.
    if (!press && !m_down.contains(code))
        return;
    if (press && m_down.isEmpty() && !uploadKeymap())
        throw KeymapNotHandedOver();
    if (press && !m_down.contains(code))
        m_down.append(code);
    else if (!press)
        m_down.removeOne(code);
    zwp_virtual_keyboard_v1_key(m_keyboard, std::uint32_t(m_clock.elapsed()), code,
                                press ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    // The compositor takes the modifiers from us, not from the keys.
    const auto changed = xkb_state_update_key(m_state, code + XkbCodeOffset, press ? XKB_KEY_DOWN : XKB_KEY_UP);
    if (changed
        & (XKB_STATE_MODS_DEPRESSED | XKB_STATE_MODS_LATCHED | XKB_STATE_MODS_LOCKED | XKB_STATE_LAYOUT_EFFECTIVE))
        zwp_virtual_keyboard_v1_modifiers(m_keyboard, xkb_state_serialize_mods(m_state, XKB_STATE_MODS_DEPRESSED),
                                          xkb_state_serialize_mods(m_state, XKB_STATE_MODS_LATCHED),
                                          xkb_state_serialize_mods(m_state, XKB_STATE_MODS_LOCKED),
                                          xkb_state_serialize_layout(m_state, XKB_STATE_LAYOUT_EFFECTIVE));
}

bool VirtualKeyboardSynth::waitUntilModifiersReleased(int)
{
    return true;
}
