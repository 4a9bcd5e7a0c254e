#include "util/errors.h"

#include "scriptedinteraction.h"

#include <QTest>

#include <functional>
#include <stdexcept>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::function<void()>)

class TestErrors : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void guardShowsErrorsAndSwallowsAborts_data();
    void guardShowsErrorsAndSwallowsAborts();
    void failingErrorBoxKeepsErrorInside();
};

void TestErrors::guardShowsErrorsAndSwallowsAborts_data()
{
    QTest::addColumn<std::function<void()>>("action");
    QTest::addColumn<bool>("ranToEnd");
    QTest::addColumn<QStringList>("errors"); // the error boxes shown

    QTest::newRow("no error") << std::function<void()>([] {}) << true << QStringList();
    QTest::newRow("Error") << std::function<void()>([] { throw Error(u"Bad thing ü"_s); }) << false
                           << QStringList{u"Bad thing ü"_s};
    QTest::newRow("std::exception") << std::function<void()>([] { throw std::runtime_error("library failure"); })
                                    << false << QStringList{u"library failure"_s};
    QTest::newRow("anything else") << std::function<void()>([] { throw 42; }) << false
                                   << QStringList{u"An unknown error occurred."_s};
    QTest::newRow("Abort") << std::function<void()>([] { throw Abort(); }) << false << QStringList();
}

void TestErrors::guardShowsErrorsAndSwallowsAborts()
{
    QFETCH(std::function<void()>, action);
    QFETCH(bool, ranToEnd);
    QFETCH(QStringList, errors);

    ScriptedInteraction ui;
    QCOMPARE(Guarded(ui, action), ranToEnd);
    QCOMPARE(ui.texts(u"error"_s), errors);
    // Nothing but the error box.
    QCOMPARE(ui.shown.size(), errors.size());

    // The last-resort handler reports the same way.
    ui.clear();
    try {
        action();
    } catch (...) {
        ReportException(ui, std::current_exception());
    }
    QCOMPARE(ui.texts(u"error"_s), errors);
    QCOMPARE(ui.shown.size(), errors.size());
}

void TestErrors::failingErrorBoxKeepsErrorInside()
{
    // An error box that can not be shown must not let the error escape the guard.
    struct BrokenBoxes : ScriptedInteraction {
        void showError(const QString&) override { throw std::runtime_error("no display"); }
    } boxes;
    QVERIFY(!Guarded(boxes, [] { throw Error(u"x"_s); }));
}

QTEST_GUILESS_MAIN(TestErrors)
#include "tst_errors.moc"
