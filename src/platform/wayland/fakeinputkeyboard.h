#pragma once

#include "platform/platform.h"
#include "platform/wayland/waylandconnection.h"

struct org_kde_kwin_fake_input;

// Keys typed through KWin's org_kde_kwin_fake_input, which KWin offers only to a program whose
// desktop file asks for it. The keys are Linux input codes; KWin turns them into characters
// with the session's own keyboard layout. The scan code of a key is its input code.
class FakeInputKeyboardSynth : public KeyboardSynth {
public:
    // Raises Error when the compositor does not offer fake input with keyboard keys.
    explicit FakeInputKeyboardSynth(WaylandConnection& connection);
    ~FakeInputKeyboardSynth() override;
    FakeInputKeyboardSynth(const FakeInputKeyboardSynth&) = delete;
    FakeInputKeyboardSynth& operator=(const FakeInputKeyboardSynth&) = delete;

    std::uint8_t scanCode(std::uint16_t virtualKey) override;
    // A key that has no input code is left out.
    void keyEvent(std::uint16_t virtualKey, std::uint8_t scanCode, std::uint32_t flags) override;
    // KWin tells no client which keys the user holds (its key state protocol covers only the
    // lock keys), so this cannot wait for them: it answers true at once.
    bool waitUntilModifiersReleased(int timeoutMs) override;

private:
    WaylandConnection& m_connection;
    org_kde_kwin_fake_input* m_input = nullptr;
};
