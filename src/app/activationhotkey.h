#pragma once

#include "settings/hotkeytext.h"

#include <QObject>

class GlobalHotKey;

// One key with its shift state, claimed from the desktop as a system-wide hot key from the
// moment it is set. A key that the desktop refuses, or a missing desktop, is not reported:
// the key then works only where the program's own windows see it.
class ActivationHotKey : public QObject {
    Q_OBJECT
public:
    explicit ActivationHotKey(GlobalHotKey& desktop, QObject* parent = nullptr);
    ~ActivationHotKey() override;

    HotKey key() const { return m_key; }
    // The key equal to the one held changes nothing; otherwise the old key is given back
    // and the new one claimed.
    void setKey(HotKey key);
    // True while the desktop holds the key for this program.
    bool isClaimed() const { return m_claimed; }
    // True when the desktop refused the key, because another program holds it.
    bool isRefused() const { return m_refused; }

Q_SIGNALS:
    // The key was pressed anywhere on the desktop.
    void pressed();

private:
    void claim();
    void giveBack();

    GlobalHotKey& m_desktop;
    HotKey m_key;
    bool m_claimed = false;
    bool m_refused = false;
};
