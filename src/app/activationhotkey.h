#pragma once

#include "platform/platform.h"
#include "settings/hotkeytext.h"

#include <QObject>

// One key with its shift state, claimed from the desktop as a system-wide hot key from the
// moment it is set. A key that the desktop refuses, or a missing desktop, is not reported:
// the key then works only where the program's own windows see it. It remembers the window
// the user pressed it in, as the window they came from.
class ActivationHotKey : public QObject {
    Q_OBJECT
public:
    ActivationHotKey(GlobalHotKey& desktop, WindowSystem& windows, QObject* parent = nullptr);
    ~ActivationHotKey() override;

    HotKey key() const { return m_key; }
    // The key equal to the one held changes nothing; otherwise the old key is given back
    // and the new one claimed.
    void setKey(HotKey key);
    // True while the desktop holds the key for this program.
    bool isClaimed() const { return m_claimed; }
    // True when the desktop refused the key, because another program holds it.
    bool isRefused() const { return m_refused; }

    // The window the user was in when they last called the program up, by this key or as
    // rememberActiveWindow() was told; never one of the program's own. 0 when none.
    WindowHandle cameFrom() const { return m_cameFrom; }
    // Takes the window that has the input now as the one the user came from; when that is
    // one of the program's own, or none, the earlier one stays.
    void rememberActiveWindow();

Q_SIGNALS:
    // The key was pressed anywhere on the desktop; cameFrom() is the window it was pressed in.
    void pressed();

private:
    void claim();
    void giveBack();

    GlobalHotKey& m_desktop;
    WindowSystem& m_windows;
    WindowHandle m_cameFrom = 0;
    HotKey m_key;
    bool m_claimed = false;
    bool m_refused = false;
};
