#include "platform/wayland/kglobalaccelhotkey.h"

#include "util/errors.h"
#include "util/virtualkeys.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>

using namespace Qt::StringLiterals;

namespace {

const QString Service = u"org.kde.kglobalaccel"_s;
const QString Path = u"/kglobalaccel"_s;
const QString Interface = u"org.kde.KGlobalAccel"_s;
const QString ComponentInterface = u"org.kde.kglobalaccel.Component"_s;
const QString ComponentName = u"quillbay"_s;
const QString ActionName = u"activate"_s;

// setShortcut's flags: mark the action present (its program runs), and take the keys given
// rather than those saved in the service's own settings.
constexpr uint SetPresent = 2;
constexpr uint NoAutoloading = 4;
// Longer than any key repeat's delay.
constexpr qint64 RepeatGapMs = 1500;

// Component and action, each by name and by the text the user sees.
QStringList ActionId()
{
    return {ComponentName, ActionName, u"Tolvane Quillbay"_s, u"Bring Tolvane Quillbay to the front"_s};
}

QDBusMessage Call(const QString& method, const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(Service, Path, Interface, method);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message);
}

constexpr int Keypad = int(Qt::KeypadModifier);

int KeyOf(std::uint16_t vk)
{
    if (vk >= Vk::F1 && vk <= Vk::F24)
        return Qt::Key_F1 + (vk - Vk::F1);
    if ((vk >= Vk::KeyA && vk <= Vk::KeyA + 25) || (vk >= Vk::Key0 && vk <= Vk::Key0 + 9))
        return vk; // Qt's codes of letters and digits are their ASCII codes, as Windows'.
    if (vk >= Vk::Numpad0 && vk <= Vk::Numpad0 + 9)
        return (Qt::Key_0 + (vk - Vk::Numpad0)) | Keypad;
    switch (vk) {
    case Vk::Back: return Qt::Key_Backspace;
    case Vk::Tab: return Qt::Key_Tab;
    case Vk::Return: return Qt::Key_Return;
    case Vk::Pause: return Qt::Key_Pause;
    case Vk::Escape: return Qt::Key_Escape;
    case Vk::Space: return Qt::Key_Space;
    case Vk::Prior: return Qt::Key_PageUp;
    case Vk::Next: return Qt::Key_PageDown;
    case Vk::End: return Qt::Key_End;
    case Vk::Home: return Qt::Key_Home;
    case Vk::Left: return Qt::Key_Left;
    case Vk::Up: return Qt::Key_Up;
    case Vk::Right: return Qt::Key_Right;
    case Vk::Down: return Qt::Key_Down;
    case Vk::Snapshot: return Qt::Key_Print;
    case Vk::Insert: return Qt::Key_Insert;
    case Vk::Delete: return Qt::Key_Delete;
    case Vk::Apps: return Qt::Key_Menu;
    case Vk::Multiply: return int(Qt::Key_Asterisk) | Keypad;
    case Vk::Add: return int(Qt::Key_Plus) | Keypad;
    case Vk::Subtract: return int(Qt::Key_Minus) | Keypad;
    case Vk::Decimal: return int(Qt::Key_Period) | Keypad;
    case Vk::Divide: return int(Qt::Key_Slash) | Keypad;
    case Vk::Scroll: return Qt::Key_ScrollLock;
    case Vk::Oem1: return Qt::Key_Semicolon;
    case Vk::OemPlus: return Qt::Key_Equal;
    case Vk::OemComma: return Qt::Key_Comma;
    case Vk::OemMinus: return Qt::Key_Minus;
    case Vk::OemPeriod: return Qt::Key_Period;
    case Vk::Oem2: return Qt::Key_Slash;
    case Vk::Oem3: return Qt::Key_QuoteLeft;
    case Vk::Oem4: return Qt::Key_BracketLeft;
    case Vk::Oem5: return Qt::Key_Backslash;
    case Vk::Oem6: return Qt::Key_BracketRight;
    case Vk::Oem7: return Qt::Key_Apostrophe;
    default: return 0;
    }
}

} // namespace

int QtKeyCode(std::uint16_t virtualKey, std::uint8_t shiftState)
{
    int code = KeyOf(virtualKey);
    if (code == 0)
        return 0;
    if (shiftState & ShiftState::Shift)
        code |= int(Qt::ShiftModifier);
    if (shiftState & ShiftState::Ctrl)
        code |= int(Qt::ControlModifier);
    if (shiftState & ShiftState::Alt)
        code |= int(Qt::AltModifier);
    return code;
}

KGlobalAccelHotKey::KGlobalAccelHotKey()
{
    qDBusRegisterMetaType<QList<int>>();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(Service))
        throw Error(u"The desktop's global shortcut service is not running."_s);
    const QDBusMessage registered = Call(u"doRegister"_s, {ActionId()});
    const QDBusReply<QDBusObjectPath> component = Call(u"getComponent"_s, {ComponentName});
    if (registered.type() == QDBusMessage::ErrorMessage || !component.isValid())
        throw Error(u"The desktop's global shortcut service does not answer."_s);
    m_componentPath = component.value().path();
    bus.connect(Service, m_componentPath, ComponentInterface, u"globalShortcutPressed"_s, this,
                SLOT(pressed(QString, QString, qlonglong)));
    bus.connect(Service, m_componentPath, ComponentInterface, u"globalShortcutReleased"_s, this,
                SLOT(released(QString, QString, qlonglong)));
}

KGlobalAccelHotKey::~KGlobalAccelHotKey()
{
    clear();
    QDBusConnection::sessionBus().disconnect(Service, m_componentPath, ComponentInterface, u"globalShortcutPressed"_s,
                                             this, SLOT(pressed(QString, QString, qlonglong)));
    QDBusConnection::sessionBus().disconnect(Service, m_componentPath, ComponentInterface, u"globalShortcutReleased"_s,
                                             this, SLOT(released(QString, QString, qlonglong)));
}

QList<int> KGlobalAccelHotKey::assign(const QList<int>& keys)
{
    const QDBusReply<QList<int>> reply
        = Call(u"setShortcut"_s, {ActionId(), QVariant::fromValue(keys), SetPresent | NoAutoloading});
    return reply.isValid() ? reply.value() : QList<int>();
}

bool KGlobalAccelHotKey::setKey(std::uint16_t virtualKey, std::uint8_t shiftState)
{
    const int key = QtKeyCode(virtualKey, shiftState);
    if (key == 0) {
        clear();
        return false;
    }
    // A key that another action holds is left out of the answer.
    if (assign({key}).contains(key))
        return true;
    clear();
    return false;
}

void KGlobalAccelHotKey::clear()
{
    m_down = false;
    assign({});
}

void KGlobalAccelHotKey::setCallback(std::function<void()> callback)
{
    m_callback = std::move(callback);
}

void KGlobalAccelHotKey::pressed(const QString& component, const QString& action, qlonglong)
{
    if (component != ComponentName || action != ActionName)
        return;
    const bool repeat = m_down && m_lastPress.isValid() && m_lastPress.elapsed() < RepeatGapMs;
    m_down = true;
    m_lastPress.start();
    if (!repeat && m_callback)
        m_callback();
}

void KGlobalAccelHotKey::released(const QString& component, const QString& action, qlonglong)
{
    if (component == ComponentName && action == ActionName)
        m_down = false;
}
