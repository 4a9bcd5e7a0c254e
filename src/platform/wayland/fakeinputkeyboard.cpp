#include "platform/wayland/fakeinputkeyboard.h"

#include "platform/wayland/evdevkeys.h"
#include "util/errors.h"

#include "fake-input-client.h"

#include <wayland-client.h>

using namespace Qt::StringLiterals;

namespace {

// keyboard_key came with this version.
constexpr std::uint32_t KeyboardVersion = 4;
constexpr std::uint32_t Pressed = 1;
constexpr std::uint32_t Released = 0;

} // namespace

FakeInputKeyboardSynth::FakeInputKeyboardSynth(WaylandConnection& connection)
    : m_connection(connection)
{
    m_input = m_connection.bind<org_kde_kwin_fake_input>(&org_kde_kwin_fake_input_interface, KeyboardVersion);
    if (m_input && org_kde_kwin_fake_input_get_version(m_input) < KeyboardVersion) {
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(m_input));
        m_input = nullptr;
    }
    if (!m_input)
        throw Error(u"The compositor does not let this program type into the windows of other programs."_s);
    org_kde_kwin_fake_input_authenticate(m_input, "Tolvane Quillbay",
                                         "Pastes ready-made answers into the e-mail program");
    m_connection.flush();
}

FakeInputKeyboardSynth::~FakeInputKeyboardSynth()
{
    // This version has no destructor request; the proxy goes, the compositor's object stays
    // until the connection ends.
    wl_proxy_destroy(reinterpret_cast<wl_proxy*>(m_input));
}

std::uint8_t FakeInputKeyboardSynth::scanCode(std::uint16_t virtualKey)
{
    const std::optional<std::uint32_t> code = EvdevKeyCode(virtualKey, false);
    return code && *code <= 0xFF ? static_cast<std::uint8_t>(*code) : 0;
}

void FakeInputKeyboardSynth::keyEvent(std::uint16_t virtualKey, std::uint8_t, std::uint32_t flags)
{
    const std::optional<std::uint32_t> code = EvdevKeyCode(virtualKey, flags & ExtendedKey);
    if (!code)
        return;
    org_kde_kwin_fake_input_keyboard_key(m_input, *code, (flags & KeyUp) ? Released : Pressed);
    m_connection.flush();
}

bool FakeInputKeyboardSynth::waitUntilModifiersReleased(int)
{
    return true;
}
