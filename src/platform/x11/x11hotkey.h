#pragma once

#include "platform/platform.h"
#include "platform/x11/x11connection.h"

#include <QAbstractNativeEventFilter>
#include <QTimer>

class X11KeyMap;

// A passive grab of one key on the root window, for every combination of NumLock and
// CapsLock. Also keeps the key map current when the keyboard mapping changes.
class X11GlobalHotKey : public GlobalHotKey, public QAbstractNativeEventFilter {
public:
    X11GlobalHotKey(X11Connection& x11, X11KeyMap& keys);
    ~X11GlobalHotKey() override;

    bool setKey(std::uint16_t virtualKey, std::uint8_t shiftState) override;
    void clear() override;
    void setCallback(std::function<void()> callback) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    QList<std::uint16_t> lockCombinations();
    void ungrab(xcb_keycode_t keycode, const QList<std::uint16_t>& modifierSets);
    bool handlePress(xcb_timestamp_t time);
    void handleRelease(xcb_timestamp_t time);
    bool keyIsDown();

    X11Connection& m_x11;
    X11KeyMap& m_keys;
    std::function<void()> m_callback;
    xcb_keycode_t m_keycode = 0;
    std::uint16_t m_modifiers = 0;
    QList<std::uint16_t> m_grabbed;
    // Auto-repeat: presses while the key is down fire once. The release goes to whatever
    // has the focus once the grab has ended, so the key's state is polled while it is down.
    bool m_down = false;
    xcb_timestamp_t m_releaseTime = 0;
    QTimer m_releasePoll;
    xcb_window_t m_markerWindow = XCB_NONE;
    bool m_markerPending = false;
};
