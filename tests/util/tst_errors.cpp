#include "util/errors.h"

#include "scriptedinteraction.h"

#include <QTest>

#include <stdexcept>

using namespace Qt::StringLiterals;

class TestErrors : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void guardShowsErrorsAndSwallowsAborts();
    void noInteractionInstalledIsAnError();
};

void TestErrors::guardShowsErrorsAndSwallowsAborts()
{
    ScriptedInteraction ui;
    QVERIFY(Guarded([] {}));
    QVERIFY(!Guarded([] { throw Error(u"Bad thing ü"_s); }));
    QVERIFY(!Guarded([] { throw std::runtime_error("library failure"); }));
    QVERIFY(!Guarded([] { throw 42; }));
    QVERIFY(!Guarded([] { throw Abort(); }));
    QCOMPARE(ui.texts(u"error"_s),
             (QStringList{u"Bad thing ü"_s, u"library failure"_s, u"An unknown error occurred."_s}));
    QCOMPARE(ui.shown.size(), 3);
    QCOMPARE(ui.shown.front().caption, u"Tolvane Quillbay"_s);
}

void TestErrors::noInteractionInstalledIsAnError()
{
    QVERIFY_THROWS_EXCEPTION(Error, interaction());
    // With nothing to show it on, the guard still keeps the error inside.
    QVERIFY(!Guarded([] { throw Error(u"x"_s); }));
}

QTEST_GUILESS_MAIN(TestErrors)
#include "tst_errors.moc"
