#include "app/activationhotkey.h"

#include "platform/platform.h"
#include "util/errors.h"

#include <QPointer>

ActivationHotKey::ActivationHotKey(GlobalHotKey& desktop, WindowSystem& windows, QObject* parent)
    : QObject(parent)
    , m_desktop(desktop)
    , m_windows(windows)
{ }

ActivationHotKey::~ActivationHotKey()
{
    giveBack();
}

void ActivationHotKey::setKey(HotKey key)
{
    if (key == m_key)
        return;
    giveBack();
    m_key = key;
    claim();
}

void ActivationHotKey::claim()
{
    m_refused = false;
    if (m_key.key == 0)
        return;
    try {
        // A press may still be on its way when this component is gone.
        m_desktop.setCallback([self = QPointer<ActivationHotKey>(this)] {
            if (!self)
                return;
            self->rememberActiveWindow();
            Q_EMIT self->pressed();
        });
        m_claimed = m_desktop.setKey(m_key.key, m_key.shift);
        m_refused = !m_claimed;
        if (!m_claimed)
            m_desktop.setCallback({});
    } catch (const Error&) {
        // No desktop: the key works only in the program's own windows.
        m_claimed = false;
    }
}

void ActivationHotKey::giveBack()
{
    if (!m_claimed)
        return;
    m_claimed = false;
    m_desktop.clear();
    m_desktop.setCallback({});
}

void ActivationHotKey::rememberActiveWindow()
{
    try {
        const WindowHandle active = m_windows.activeWindow();
        if (active != 0 && !m_windows.isOwnWindow(active))
            m_cameFrom = active;
    } catch (const Error&) {
        // No desktop: there is no window to come from.
    }
}
