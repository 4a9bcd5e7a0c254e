// Expanding whole branches of the Message tree and opening a result list of huge
// Messages, in-process on the offscreen platform. Run by hand:
//   QT_QPA_PLATFORM=offscreen build/bench/app/bench_tree [runs]
#include "app/fMain.h"
#include "dialogs/fSelectFAQ.h"
#include "dialogs/qtinteraction.h"
#include "platform/missingdesktop.h"
#include "settings/filelocations.h"
#include "settings/settings.h"
#include "store/dmData.h"
#include "util/textutils.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

constexpr int ChainDepth = 10000;
constexpr int Groups = 1000;
constexpr int PerGroup = 100;
constexpr int GroupTop = 100001;
constexpr int HugeRows = 50;
constexpr int HugeMessageID = 300000;

void Run(const QString& connection, const QString& sql)
{
    QSqlQuery query(QSqlDatabase::database(connection));
    if (!query.exec(sql))
        qFatal("%s: %s", qUtf8Printable(sql), qUtf8Printable(query.lastError().text()));
}

void PressKey(QWidget* widget, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, key == Qt::Key_Asterisk ? u"*"_s : QString());
    QApplication::sendEvent(widget, &press);
    QApplication::processEvents();
}

double MedianMs(int runs, const std::function<void()>& prepare, const std::function<void()>& measured)
{
    QList<double> times;
    for (int run = 0; run < runs; ++run) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        measured();
        times.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

QTreeWidgetItem* TopLevelWithID(QTreeWidget* tree, int id)
{
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        if (tree->topLevelItem(i)->data(0, Qt::UserRole).toInt() == id)
            return tree->topLevelItem(i);
    }
    qFatal("no top-level node %d", id);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    QTemporaryDir folder;
    OverrideAppDir(folder.path());
    OpenOptionsFile().writeText(Setting::Target.section, Setting::Target.key, u"Notepad"_s);
    ConnectionSpec spec;
    spec.database = folder.filePath(u"bench.db"_s);
    spec.createWithExamples = false;
    TdmFAQData data(spec);
    data.OpenDatabase();
    const QString connection = data.connectionName();
    Run(connection, u"begin"_s);
    Run(connection,
        u"with recursive c(n) as (select 1 union all select n + 1 from c where n < %1) "
        "insert into FAQ (ID, ShortName, Hotword, Text, GroupID) "
        "select n, 'Level ' || n, 'l' || n, 't', n - 1 from c"_s.arg(ChainDepth));
    Run(connection,
        u"insert into FAQ (ID, ShortName, Hotword, Text, GroupID) values (%1, 'Groups', 'g', 't', 0)"_s.arg(GroupTop));
    Run(connection,
        u"with recursive c(n) as (select 1 union all select n + 1 from c where n < %1) "
        "insert into FAQ (ID, ShortName, Hotword, Text, GroupID) "
        "select %2 + n, 'Group ' || n, 'g' || n, 't', %2 from c"_s.arg(Groups)
            .arg(GroupTop));
    Run(connection,
        u"with recursive c(n) as (select 0 union all select n + 1 from c where n < %1) "
        "insert into FAQ (ID, ShortName, Hotword, Text, GroupID) "
        "select %2 + n, 'Message ' || n, 'm' || n, 't', %3 + n / %4 from c"_s.arg(Groups * PerGroup - 1)
            .arg(GroupTop + Groups + 1)
            .arg(GroupTop + 1)
            .arg(PerGroup));
    Run(connection, u"commit"_s);

    QtInteraction boxes;
    MissingDesktop desktop;
    Options options(OptionsFilePath());
    TfrmMain window(data, desktop.interfaces(), boxes, options);
    window.show();
    QApplication::processEvents();
    QTreeWidget* tree = window.findChild<QTreeWidget*>(u"tvFAQs"_s);

    auto expandAll = [&](int id) {
        return MedianMs(
            runs,
            [&] {
                // A plain rebuild would expand the last run's branch again, node by node.
                tree->clear();
                window.RefreshFAQTree();
                QTreeWidgetItem* node = TopLevelWithID(tree, id);
                node->setExpanded(false);
                tree->setCurrentItem(node);
                tree->setFocus();
                QApplication::processEvents();
            },
            [&] { PressKey(tree, Qt::Key_Asterisk); });
    };
    std::printf("expand all, chain of %d levels: %.1f ms\n", ChainDepth, expandAll(1));
    std::printf("expand all, %d Messages in %d groups: %.1f ms\n", Groups * PerGroup, Groups, expandAll(GroupTop));

    // A rebuild (after a save, a move or Ctrl+R) opens again every node that was open.
    auto rebuild = [&](int id) {
        tree->clear();
        window.RefreshFAQTree();
        tree->setCurrentItem(TopLevelWithID(tree, id));
        tree->setFocus();
        PressKey(tree, Qt::Key_Asterisk);
        return MedianMs(
            runs, [] {},
            [&] {
                window.RefreshFAQTree();
                QApplication::processEvents();
            });
    };
    std::printf("rebuild with a chain of %d levels expanded: %.1f ms\n", ChainDepth, rebuild(1));
    std::printf("rebuild with %d Messages in %d groups expanded: %.1f ms\n", Groups * PerGroup, Groups,
                rebuild(GroupTop));

    const QString huge(1 << 20, u'x');
    const double open = MedianMs(
        runs, [&] { window.selectDialog().hide(); },
        [&] {
            window.selectDialog().ClearResults();
            for (int row = 0; row < HugeRows; ++row)
                window.selectDialog().AddResult(QString::number(row + 1), u"Huge"_s, huge);
            window.selectDialog().SelectFirstResult();
            window.selectDialog().ShowNonModal();
            QApplication::processEvents();
        });
    std::printf("result list of %d x 1 MB Messages opened: %.1f ms\n", HugeRows, open);
    auto* resultList = window.selectDialog().findChild<QTreeWidget*>(u"lvFAQs"_s);
    const double step = MedianMs(
        runs, [&] { resultList->setFocus(); }, [&] { PressKey(resultList, Qt::Key_Down); });
    std::printf("one arrow key down that list: %.1f ms\n", step);

    // A found Message of 1 MB in the main window's panel.
    QSqlQuery insert(QSqlDatabase::database(connection));
    insert.prepare(u"insert into FAQ (ID, ShortName, Hotword, Text, GroupID) values (?, 'Huge', 'huge', ?, 0)"_s);
    insert.addBindValue(HugeMessageID);
    insert.addBindValue(huge);
    if (!insert.exec())
        qFatal("%s", qUtf8Printable(insert.lastError().text()));
    const double shown = MedianMs(
        runs, [&] { window.ShowFAQByID(1); },
        [&] {
            window.ShowFAQByID(HugeMessageID);
            QApplication::processEvents();
        });
    std::printf("1 MB Message shown in the main window: %.1f ms\n", shown);
    return 0;
}
