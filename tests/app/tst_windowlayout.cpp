#include "app/windowlayout.h"

#include <QTest>

using namespace WindowLayout;

// The limits of the remembered layout over a given screen, without any window.
class TestWindowLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void boundsOnScreen_data();
    void boundsOnScreen();
    void crossedBoundsTakeTheUpperOne();
    void savedStates();
    void splitterWidths();
};

void TestWindowLayout::boundsOnScreen_data()
{
    QTest::addColumn<QRect>("saved");
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QRect>("expected");

    // Nothing saved: the design bounds, widened to half the screen.
    QTest::newRow("first start on 1920") << DesignBounds << QSize(1920, 1080) << QRect(178, 189, 960, 380);
    QTest::newRow("first start on 1024") << DesignBounds << QSize(1024, 768) << QRect(178, 189, 678, 380);
    // The width is then limited by the new left edge; the window's own minimum comes later.
    QTest::newRow("left 5000 on 1024") << QRect(5000, 189, 678, 380) << QSize(1024, 768)
                                       << QRect(974, 189, 50, 380);
    QTest::newRow("top 0, height 5000") << QRect(178, 0, 678, 5000) << QSize(1024, 768) << QRect(178, 0, 678, 768);
    QTest::newRow("height limited below the new top")
        << QRect(178, 600, 678, 400) << QSize(1024, 768) << QRect(178, 600, 678, 168);
    QTest::newRow("off the left and top") << QRect(-300, -20, 900, 500) << QSize(1024, 768)
                                          << QRect(0, 0, 900, 500);
    QTest::newRow("half width drops the remainder")
        << QRect(0, 0, 100, 380) << QSize(1025, 768) << QRect(0, 0, 512, 380);
}

void TestWindowLayout::boundsOnScreen()
{
    QFETCH(QRect, saved);
    QFETCH(QSize, screen);
    QFETCH(QRect, expected);
    QCOMPARE(BoundsOnScreen(saved, screen), expected);
}

void TestWindowLayout::crossedBoundsTakeTheUpperOne()
{
    QCOMPARE(Limit(5, 10, 3), 3);
    QCOMPARE(Limit(20, 10, 3), 3);
    // A screen lower than the smallest height.
    QCOMPARE(HeightOnScreen(300, 0, QSize(800, 200)), 200);
}

void TestWindowLayout::savedStates()
{
    QCOMPARE(StateToRestore(0), Qt::WindowNoState);
    QCOMPARE(StateToRestore(1), Qt::WindowNoState); // minimised opens normal
    QCOMPARE(StateToRestore(2), Qt::WindowMaximized);
    QCOMPARE(StateToRestore(3), std::nullopt);
    QCOMPARE(StateToRestore(-1), std::nullopt);

    QCOMPARE(StateToSave(Qt::WindowNoState), 0);
    QCOMPARE(StateToSave(Qt::WindowMinimized), 1);
    QCOMPARE(StateToSave(Qt::WindowMaximized), 2);
    QCOMPARE(StateToSave(Qt::WindowMinimized | Qt::WindowMaximized), 1);
}

void TestWindowLayout::splitterWidths()
{
    QVERIFY(!LeftPanelWidthAllowed(222, 678));
    QVERIFY(LeftPanelWidthAllowed(223, 678));
    QVERIFY(LeftPanelWidthAllowed(338, 678));
    QVERIFY(!LeftPanelWidthAllowed(339, 678)); // half of 678
    QVERIFY(!LeftPanelWidthAllowed(339, 679)); // half of 679, remainder dropped
    QVERIFY(!LeftPanelWidthAllowed(300, 600)); // a narrow window allows no drag at all
}

QTEST_APPLESS_MAIN(TestWindowLayout)
#include "tst_windowlayout.moc"
