#include "app/activationhotkey.h"

#include "platform/platform.h"
#include "util/errors.h"

#include <QPointer>

namespace {

// The desktop's hot-key service, or none when the program runs without a desktop.
GlobalHotKey* DesktopHotKey()
{
    try {
        return &platform().activationKey;
    } catch (const Error&) {
        return nullptr;
    }
}

} // namespace

ActivationHotKey::ActivationHotKey(QObject* parent)
    : QObject(parent)
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
    GlobalHotKey* desktop = DesktopHotKey();
    if (!desktop || m_key.key == 0)
        return;
    // A press may still be on its way when this component is gone.
    desktop->setCallback([self = QPointer<ActivationHotKey>(this)] {
        if (self)
            Q_EMIT self->pressed();
    });
    m_claimed = desktop->setKey(m_key.key, m_key.shift);
    m_refused = !m_claimed;
    if (!m_claimed)
        desktop->setCallback({});
}

void ActivationHotKey::giveBack()
{
    if (!m_claimed)
        return;
    m_claimed = false;
    if (GlobalHotKey* desktop = DesktopHotKey()) {
        desktop->clear();
        desktop->setCallback({});
    }
}
