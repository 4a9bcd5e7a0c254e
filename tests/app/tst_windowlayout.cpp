#include "app/windowlayout.h"
#include "dialogs/widgetsupport.h"

#include <QTest>

using namespace WindowLayout;

// The limits of the remembered layout over a given screen, without any window.
class TestWindowLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void limit_data();
    void limit();
    void boundsOnScreen_data();
    void boundsOnScreen();
    void statesAndSplitter();
};

void TestWindowLayout::limit_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("expected");
    QTest::newRow("inside") << 30 << 10 << 50 << 30;
    QTest::newRow("on the bounds") << 10 << 10 << 10 << 10;
    QTest::newRow("below") << -5 << 10 << 50 << 10;
    QTest::newRow("above") << 90 << 10 << 50 << 50;
    // Bounds that cross: the upper one wins, from below and from above.
    QTest::newRow("crossed, below") << 0 << 100 << 50 << 50;
    QTest::newRow("crossed, between") << 70 << 100 << 50 << 50;
    QTest::newRow("crossed, above") << 200 << 100 << 50 << 50;
}

void TestWindowLayout::limit()
{
    QFETCH(int, value);
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(int, expected);
    QCOMPARE(Limit(value, low, high), expected);
}

void TestWindowLayout::boundsOnScreen_data()
{
    QTest::addColumn<QRect>("saved");
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QRect>("expected");
    // Nothing saved: the design bounds, widened to half the screen.
    QTest::newRow("first start, 1920") << DesignBounds << QSize(1920, 1080) << QRect(178, 189, 960, 380);
    // The width is limited by the new left edge; the window's own minimum applies later.
    QTest::newRow("left 5000, 1024") << QRect(5000, 189, 678, 380) << QSize(1024, 768) << QRect(974, 189, 50, 380);
    QTest::newRow("top 0, height 5000") << QRect(178, 0, 678, 5000) << QSize(1024, 768) << QRect(178, 0, 678, 768);
    // Bounds that cross: the upper one wins.
    QTest::newRow("below the bottom") << QRect(-9, 900, 678, 400) << QSize(1024, 768) << QRect(0, 718, 678, 50);
    QTest::newRow("odd width") << QRect(0, 0, 100, 380) << QSize(1025, 768) << QRect(0, 0, 512, 380);
}

void TestWindowLayout::boundsOnScreen()
{
    QFETCH(QRect, saved);
    QFETCH(QSize, screen);
    QFETCH(QRect, expected);
    QCOMPARE(BoundsOnScreen(saved, screen), expected);
}

void TestWindowLayout::statesAndSplitter()
{
    QCOMPARE(StateToRestore(1), Qt::WindowNoState); // minimised opens normal
    QCOMPARE(StateToRestore(2), Qt::WindowMaximized);
    QCOMPARE(StateToRestore(3), std::nullopt);
    QCOMPARE(StateToSave(Qt::WindowMinimized | Qt::WindowMaximized), 1);

    QVERIFY(!LeftPanelWidthAllowed(222, 679));
    QVERIFY(LeftPanelWidthAllowed(223, 679));
    QVERIFY(LeftPanelWidthAllowed(338, 679));
    QVERIFY(!LeftPanelWidthAllowed(339, 679)); // half of 679, remainder dropped
}

QTEST_APPLESS_MAIN(TestWindowLayout)
#include "tst_windowlayout.moc"
