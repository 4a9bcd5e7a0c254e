// The activation key as KDE's global shortcut service stores it: Qt key codes.
#include "platform/wayland/kglobalaccelhotkey.h"

#include "util/virtualkeys.h"

#include <QTest>

class TestKWinKeys : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void qtKeyCodes_data();
    void qtKeyCodes();
};

void TestKWinKeys::qtKeyCodes_data()
{
    QTest::addColumn<int>("vk");
    QTest::addColumn<int>("shift");
    QTest::addColumn<int>("expected");
    const int shift = int(Qt::ShiftModifier);
    const int ctrl = int(Qt::ControlModifier);
    const int alt = int(Qt::AltModifier);
    const int keypad = int(Qt::KeypadModifier);
    QTest::newRow("F11") << int(Vk::F11) << 0 << int(Qt::Key_F11);
    QTest::newRow("F24") << int(Vk::F24) << 0 << int(Qt::Key_F24);
    QTest::newRow("Ctrl+Shift+F12") << int(Vk::F12) << int(ShiftState::Ctrl | ShiftState::Shift)
                                    << (int(Qt::Key_F12) | ctrl | shift);
    QTest::newRow("Alt+Q") << int(Vk::KeyA + ('Q' - 'A')) << int(ShiftState::Alt) << (int(Qt::Key_Q) | alt);
    QTest::newRow("Ctrl+Alt+9") << int(Vk::Key0 + 9) << int(ShiftState::Ctrl | ShiftState::Alt)
                                << (int(Qt::Key_9) | ctrl | alt);
    QTest::newRow("keypad 5") << int(Vk::Numpad0 + 5) << 0 << (int(Qt::Key_5) | keypad);
    QTest::newRow("keypad plus") << int(Vk::Add) << 0 << (int(Qt::Key_Plus) | keypad);
    QTest::newRow("Page Down") << int(Vk::Next) << 0 << int(Qt::Key_PageDown);
    QTest::newRow("Print") << int(Vk::Snapshot) << 0 << int(Qt::Key_Print);
    QTest::newRow("backslash") << int(Vk::Oem5) << int(ShiftState::Ctrl) << (int(Qt::Key_Backslash) | ctrl);
    QTest::newRow("grave") << int(Vk::Oem3) << 0 << int(Qt::Key_QuoteLeft);
    // Keys the service cannot hold as an activation key.
    QTest::newRow("Windows key") << int(Vk::LWin) << 0 << 0;
    QTest::newRow("Shift alone") << int(Vk::Shift) << int(ShiftState::Shift) << 0;
    QTest::newRow("no key") << 0 << int(ShiftState::Ctrl) << 0;
}

void TestKWinKeys::qtKeyCodes()
{
    QFETCH(int, vk);
    QFETCH(int, shift);
    QFETCH(int, expected);
    QCOMPARE(QtKeyCode(static_cast<std::uint16_t>(vk), static_cast<std::uint8_t>(shift)), expected);
}

QTEST_APPLESS_MAIN(TestKWinKeys)
#include "tst_kwinkeys.moc"
