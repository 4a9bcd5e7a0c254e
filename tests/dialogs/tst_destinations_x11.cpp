// The destinations editor on a real desktop: a window picked among two Chromium windows.
#include "dialogs/fDestinations.h"

#include "childbyname.h"
#include "desktoptools.h"
#include "platform/x11/x11platform.h"
#include "scriptedinteraction.h"
#include "settings/settings.h"
#include "testfiles.h"
#include "util/textutils.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestDestinationsX11 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void browserWindowPickedAmongOthers();
};

void TestDestinationsX11::browserWindowPickedAmongOthers()
{
    QTemporaryDir dir;
    OverrideAppDir(dir.path());
    QVERIFY(WriteFileBytes(dir.filePath(u"targets.ini"_s), "[Web mail]\n"));
    QStringList pages;
    for (const QString& title : {u"Mail of Ann"_s, u"News of the day"_s}) {
        pages << dir.filePath(QString::number(pages.size()) + u".html"_s);
        QFile page(pages.last());
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write("<!DOCTYPE html><title>" + title.toUtf8() + "</title>");
    }
    DesktopProgram browser;
    const QString mail = StartBrowser(browser, pages[0], u"Mail of Ann"_s);
    QVERIFY(!mail.isEmpty());
    // The second window comes from the running browser, which was used last.
    DesktopProgram second;
    const QString news = StartBrowser(second, pages[1], u"News of the day"_s);
    QVERIFY(!news.isEmpty() && news != mail);
    ActivateWindow(news);

    const auto x11 = CreateX11Platform();
    WindowSystem& windows = x11->interfaces().windows;
    ScriptedInteraction ui;
    {
        TfrmDestinations editor(windows, ui, u"Web mail"_s);
        editor.show();
        child<QPushButton>(editor, "btnPickWindow")->click();
        auto* list = child<QListWidget>(editor, "lstOpenWindows");
        const QList<QListWidgetItem*> found = list->findItems(u"Mail of Ann"_s, Qt::MatchStartsWith);
        QCOMPARE(found.size(), 1);
        list->setCurrentItem(found.first());
        QTest::keyClick(list, Qt::Key_Return);
        auto* grid = child<QTableWidget>(editor, "grdEntries");
        QCOMPARE(grid->item(0, 0)->text(), u"Mail of Ann"_s);
        QCOMPARE(grid->item(0, 2)->text(), u"Chromium"_s);
        QCOMPARE(grid->item(0, 3)->text(), u"browser"_s);
        QCOMPARE(child<QLabel>(editor, "lblMatchesNow")->text(),
                 u"Now entry 1 finds: Mail of Ann - Chromium  [Chromium]"_s);
        child<QPushButton>(editor, "btnOK")->click();
        QCOMPARE(editor.result(), int(QDialog::Accepted));
    }
    QCOMPARE(LookUpDestinationWindow(windows, u"Web mail"_s), mail.toULongLong());
    QVERIFY(ui.shown.isEmpty());
    OverrideAppDir({});
}

QTEST_MAIN(TestDestinationsX11)
#include "tst_destinations_x11.moc"
