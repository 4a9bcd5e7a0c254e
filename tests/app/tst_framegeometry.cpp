// Remembered window places are outer bounds, frame included: under a real window manager
// (openbox) opening and closing a window again and again keeps it where it was.
#include "dialogs/fShowData.h"
#include "mainwindowfixture.h"
#include "settings/filelocations.h"
#include "settings/settings.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <array>

using namespace Qt::StringLiterals;

namespace {

using PlaceKeys = std::array<const SettingKey<int>*, 4>;
const PlaceKeys NotesKeys{&Setting::NotesFormLeft, &Setting::NotesFormTop, &Setting::NotesFormWidth,
                          &Setting::NotesFormHeight};
const PlaceKeys MainKeys{&Setting::MainFormLeft, &Setting::MainFormTop, &Setting::MainFormWidth,
                         &Setting::MainFormHeight};

void Store(const PlaceKeys& keys, const QRect& place)
{
    const int values[] = {place.x(), place.y(), place.width(), place.height()};
    Options options(OptionsFilePath());
    for (int i = 0; i < 4; ++i)
        options.setValue(*keys[i], values[i]);
    options.save();
}

QRect Saved(const PlaceKeys& keys)
{
    Options options(OptionsFilePath());
    options.load();
    return {options.value(*keys[0], -1), options.value(*keys[1], -1), options.value(*keys[2], -1),
            options.value(*keys[3], -1)};
}

// Waits until the window is shown framed with the outer bounds expected, or 5 s.
QRect FramedBounds(QWidget* window, const QRect& expected)
{
    const bool framed = QTest::qWaitFor([&] {
        return window->windowHandle() && window->windowHandle()->isExposed()
            && window->frameGeometry() != window->geometry() && window->frameGeometry() == expected;
    });
    return framed ? window->frameGeometry() : QRect();
}

} // namespace

class TestFrameGeometry : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void notesWindowKeepsItsPlace_data();
    void notesWindowKeepsItsPlace();
    void mainWindowKeepsItsPlace_data();
    void mainWindowKeepsItsPlace();
};

void TestFrameGeometry::notesWindowKeepsItsPlace_data()
{
    QTest::addColumn<QRect>("stored");
    QTest::addColumn<QRect>("expected");
    const QSize screen = QGuiApplication::primaryScreen()->size();
    QTest::newRow("inside") << QRect(100, 80, 400, 300) << QRect(100, 80, 400, 300);
    QTest::newRow("cut at the right") << QRect(screen.width() - 280, 80, 900, 300)
                                      << QRect(screen.width() - 280, 80, 280, 300);
    QTest::newRow("cut at the bottom") << QRect(100, screen.height() - 200, 400, 900)
                                       << QRect(100, screen.height() - 200, 400, 200);
}

void TestFrameGeometry::notesWindowKeepsItsPlace()
{
    QFETCH(QRect, stored);
    QFETCH(QRect, expected);
    MessageDb db;
    Store(NotesKeys, stored);
    for (int open = 0; open < 4; ++open) {
        QRect shown;
        QTimer::singleShot(0, [&] {
            if (!QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }))
                qFatal("the notes window did not open");
            QWidget* form = QApplication::activeModalWidget();
            shown = FramedBounds(form, expected);
            QTest::keyClick(form->focusWidget() ? form->focusWidget() : form, Qt::Key_Escape);
        });
        Options options(OptionsFilePath());
        ShowInternalNotes(u"notes"_s, options, nullptr);
        QCOMPARE(shown, expected);
        QCOMPARE(Saved(NotesKeys), expected);
    }
}

void TestFrameGeometry::mainWindowKeepsItsPlace_data()
{
    QTest::addColumn<QRect>("stored");
    QTest::addColumn<QRect>("expected");
    const QSize screen = QGuiApplication::primaryScreen()->size();
    QTest::newRow("inside") << QRect(100, 50, 700, 500) << QRect(100, 50, 700, 500);
    QTest::newRow("cut at the bottom") << QRect(100, screen.height() - 500, 700, 900)
                                       << QRect(100, screen.height() - 500, 700, 500);
}

void TestFrameGeometry::mainWindowKeepsItsPlace()
{
    QFETCH(QRect, stored);
    QFETCH(QRect, expected);
    MainWindowFixture p;
    MessageDb::setOption(Setting::MainFormState, u"0"_s);
    Store(MainKeys, stored);
    for (int run = 0; run < 3; ++run) {
        p.create().show();
        QCOMPARE(FramedBounds(p.window.get(), expected), expected);
        p.window.reset();
        QCOMPARE(Saved(MainKeys), expected);
    }
}

QTEST_MAIN(TestFrameGeometry)
#include "tst_framegeometry.moc"
