// Ctrl+V typed by our keyboard into real programs (Chromium, Mousepad) in keyboard layouts
// that lack the Latin letters, set by the test and put back after each case.
#include "delivery/keyinput.h"

#include "desktoptools.h"
#include "platform/x11/x11platform.h"
#include "util/virtualkeys.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString PageTitle = u"Keyboard probe page"_s;

void SetLayout(const QString& layout)
{
    QCOMPARE(QProcess::execute(u"setxkbmap"_s, layout.split(u' ')), 0);
}

QString Keymap()
{
    return RunTool(u"xkbcomp"_s, {u"-xkb"_s, qEnvironmentVariable("DISPLAY"), u"-"_s});
}

} // namespace

class TestX11Keyboard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();
    void ctrlVPastesInEveryLayout_data();
    void ctrlVPastesInEveryLayout();
    void borrowedKeyIsGivenBack();

private:
    QString windowOf(const QString& program) const
    {
        return program == u"Chromium"_s ? m_browserWindow : m_editorWindow;
    }

    std::unique_ptr<X11Platform> m_x11;
    QTemporaryDir m_folder;
    DesktopProgram m_browser;
    DesktopProgram m_editor;
    QString m_browserWindow;
    QString m_editorWindow;
};

void TestX11Keyboard::initTestCase()
{
    m_x11 = CreateX11Platform();
    const QString page = m_folder.filePath(u"page.html"_s);
    QFile file(page);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<!DOCTYPE html><title>" + PageTitle.toUtf8() + "</title><textarea autofocus></textarea>");
    file.close();
    m_browserWindow = StartBrowser(m_browser, page, PageTitle);
    QVERIFY(!m_browserWindow.isEmpty());
    QVERIFY(m_editor.start(u"mousepad"_s));
    m_editorWindow = m_editor.window({u"--name"_s, u"Mousepad"_s});
    QVERIFY(!m_editorWindow.isEmpty());
}

void TestX11Keyboard::cleanup()
{
    SetLayout(u"us"_s);
    for (const QString& window : {m_browserWindow, m_editorWindow}) {
        if (!window.isEmpty())
            PressKeys(window, {u"ctrl+a"_s, u"Delete"_s});
    }
}

void TestX11Keyboard::cleanupTestCase()
{
    m_x11.reset();
    m_editor.stop();
    m_browser.stop();
}

void TestX11Keyboard::ctrlVPastesInEveryLayout_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("layout"); // setxkbmap's arguments
    // What the key in V's place types afterwards (its keysym for xdotool, and the letter).
    QTest::addColumn<QString>("placeKey");
    QTest::addColumn<QString>("typed");
    for (const QString& program : {u"Chromium"_s, u"Mousepad"_s}) {
        QTest::addRow("%s, Russian only", qPrintable(program)) << program << u"ru"_s << u"Cyrillic_em"_s << u"м"_s;
        QTest::addRow("%s, Greek only", qPrintable(program)) << program << u"gr"_s << u"Greek_omega"_s << u"ω"_s;
        QTest::addRow("%s, Russian and US", qPrintable(program))
            << program << u"-layout ru,us"_s << u"Cyrillic_em"_s << u"м"_s;
    }
}

void TestX11Keyboard::ctrlVPastesInEveryLayout()
{
    QFETCH(QString, program);
    QFETCH(QString, layout);
    QFETCH(QString, placeKey);
    QFETCH(QString, typed);
    const QString window = windowOf(program);
    SetLayout(layout);
    Platform& desktop = m_x11->interfaces();
    const QString text = u"Paste in "_s + layout;
    desktop.clipboard.setText(text);
    ActivateWindow(window);
    QVERIFY(desktop.windows.waitUntilActive(window.toULongLong(), 5000));
    SendKeyPress(desktop.keyboard, Vk::KeyV, ShiftState::Ctrl, false);
    QVERIFY2(desktop.clipboard.waitUntilRead(window.toULongLong(), 5000), "the program did not fetch the paste");
    // The key keeps typing its own letter.
    PressKeys(window, {placeKey});
    SetLayout(u"us"_s);
    QCOMPARE(CopyWindowTextWhen(window, text + typed, 5000), text + typed);
}

void TestX11Keyboard::borrowedKeyIsGivenBack()
{
    SetLayout(u"ru"_s);
    const QString before = Keymap();
    Platform& desktop = m_x11->interfaces();
    desktop.clipboard.setText(u"given back"_s);
    ActivateWindow(m_editorWindow);
    SendKeyPress(desktop.keyboard, Vk::KeyV, ShiftState::Ctrl, false);
    QVERIFY(desktop.clipboard.waitUntilRead(m_editorWindow.toULongLong(), 5000));
    QVERIFY(Keymap() != before);
    m_x11.reset();
    QCOMPARE(Keymap(), before);
    m_x11 = CreateX11Platform();
}

QTEST_MAIN(TestX11Keyboard)
#include "tst_x11keyboard.moc"
