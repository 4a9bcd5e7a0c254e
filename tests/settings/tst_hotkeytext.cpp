#include "settings/hotkeytext.h"

#include "util/virtualkeys.h"

#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

class TestHotKeyText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void names();
    void everyNameDistinctAndRoundTrips();
    void parse();
    void write();
};

void TestHotKeyText::names()
{
    QCOMPARE(VirtualKeyName(Vk::F12), u"F12"_s);
    QCOMPARE(VirtualKeyName(Vk::F24), u"F24"_s);
    QCOMPARE(VirtualKeyName(Vk::Back), u"BkSp"_s);
    QCOMPARE(VirtualKeyName(Vk::Next), u"PgDn"_s);
    QCOMPARE(VirtualKeyName(Vk::KeyA + 25), u"Z"_s);
    QCOMPARE(VirtualKeyName(Vk::Numpad0 + 7), u"7"_s);
    QCOMPARE(VirtualKeyName(0), QString());
    QCOMPARE(VirtualKeyName(0x300), QString());
}

void TestHotKeyText::everyNameDistinctAndRoundTrips()
{
    QSet<QString> seen;
    for (std::uint16_t key = 8; key <= 255; ++key) {
        const QString name = VirtualKeyName(key);
        QVERIFY(!name.isEmpty());
        const bool keypadDigit = key >= Vk::Numpad0 && key <= Vk::Numpad0 + 9;
        if (!keypadDigit) {
            QVERIFY2(!seen.contains(name.toLower()), qPrintable(name));
            seen.insert(name.toLower());
        }
        for (std::uint8_t shift = 0; shift < 8; ++shift) {
            const HotKey parsed = TextToHotKey(HotKeyToText({key, shift}));
            // Keypad digits share names with the main digits, whose codes come first.
            QCOMPARE(parsed.key, keypadDigit ? std::uint16_t(Vk::Key0 + key - Vk::Numpad0) : key);
            QCOMPARE(parsed.shift, shift);
        }
    }
}

void TestHotKeyText::parse()
{
    constexpr auto S = ShiftState::Shift;
    constexpr auto C = ShiftState::Ctrl;
    constexpr auto A = ShiftState::Alt;
    QCOMPARE(TextToHotKey(u"F12"_s), (HotKey{Vk::F12, 0}));
    QCOMPARE(TextToHotKey(u"ctrl+shift+f12"_s), (HotKey{Vk::F12, std::uint8_t(S | C)}));
    QCOMPARE(TextToHotKey(u"ALT+^z"_s), (HotKey{Vk::KeyA + 25, std::uint8_t(A | C)}));
    QCOMPARE(TextToHotKey(u"Shift+Num +"_s), (HotKey{Vk::Add, S}));
    QCOMPARE(TextToHotKey(u"Ctrl+-"_s), (HotKey{Vk::OemMinus, C}));
    QCOMPARE(TextToHotKey(u"Ctrl+"_s), HotKey{});
    QCOMPARE(TextToHotKey(u"Shift+Banana"_s), HotKey{});
    QCOMPARE(TextToHotKey(QString()), HotKey{});
    QCOMPARE(TextToHotKey(u"F25"_s), HotKey{});
    QCOMPARE(TextToHotKey(u" F12"_s), HotKey{});
}

void TestHotKeyText::write()
{
    QCOMPARE(HotKeyToText(TextToHotKey(u"ctrl+shift+f12"_s)), u"Shift+Ctrl+F12"_s);
    QCOMPARE(HotKeyToText({Vk::Space, ShiftState::Alt | ShiftState::Ctrl | ShiftState::Shift}),
             u"Shift+Ctrl+Alt+Space"_s);
    QCOMPARE(HotKeyToText({0, ShiftState::Ctrl}), QString());
}

QTEST_GUILESS_MAIN(TestHotKeyText)
#include "tst_hotkeytext.moc"
