// Start-up time, one keyboard step down the tree, and resident memory, with 10,000
// top-level Messages in the embedded database. Run by hand, under an X server:
//   tests/support/with-x11.sh build/bench/app/bench_app [runs]
#include "app/fMain.h"
#include "app/guardedapplication.h"
#include "app/program.h"
#include "store/dmData.h"
#include "util/textutils.h"

#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int Messages = 10000;
constexpr int Steps = 200;

qint64 MonotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

qint64 ResidentKiB()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

template <typename T> T Median(QList<T> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? T() : values[values.size() / 2];
}

// One start of the program, as main() does it, in the given folder.
int Child(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    GuardedApplication application(argc, argv);
    OverrideAppDir(QString::fromLocal8Bit(argv[2]));
    Program program(application);
    if (!program.Start())
        return 1;
    TfrmMain* frmMain = program.mainWindow();
    while (!frmMain->windowHandle() || !frmMain->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    const qint64 shown = MonotonicNs();
    const int nodes = frmMain->findChild<QTreeWidget*>(u"tvFAQs"_s)->topLevelItemCount();
    QCoreApplication::processEvents();
    const qint64 resident = ResidentKiB();

    // Keyboard steps down the tree, each showing one Message.
    QTreeWidget* tree = frmMain->findChild<QTreeWidget*>(u"tvFAQs"_s);
    tree->setFocus();
    tree->setCurrentItem(tree->topLevelItem(0));
    QList<qint64> steps;
    for (int i = 0; i < Steps; ++i) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QElapsedTimer timer;
        timer.start();
        QCoreApplication::sendEvent(tree, &down);
        steps.append(timer.nsecsElapsed());
    }
    std::printf("%lld %d %lld %lld %d\n", static_cast<long long>(shown), nodes, static_cast<long long>(resident),
                static_cast<long long>(Median(steps)), frmMain->ShownMessageID());
    return 0;
}

bool Fill(const QString& folder)
{
    // The embedded database with its examples, as a first start creates it.
    {
        ConnectionSpec spec = DefaultConnectionSpec();
        spec.kind = ConnectionSpec::Kind::Sqlite;
        spec.database = JoinPath(folder, u"quillbay.db"_s);
        TdmFAQData module(spec);
    }
    auto db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"fill"_s);
    db.setDatabaseName(JoinPath(folder, u"quillbay.db"_s));
    if (!db.open())
        return false;
    db.transaction();
    QSqlQuery insert(db);
    insert.prepare(u"insert into FAQ (ShortName, Hotword, Text, GroupID) values (?, ?, ?, 0)"_s);
    for (int i = 0; i < Messages; ++i) {
        insert.addBindValue(u"Message %1"_s.arg(i, 5, 10, QChar(u'0')));
        insert.addBindValue(u"hw%1"_s.arg(i));
        insert.addBindValue(u"Dear customer,\r\n\r\nthank you for message %1.\r\n\r\nKind regards"_s.arg(i));
        if (!insert.exec()) {
            std::fprintf(stderr, "%s\n", qPrintable(insert.lastError().text()));
            return false;
        }
    }
    db.commit();
    QFile options(JoinPath(folder, u"options.ini"_s));
    if (!options.open(QIODevice::WriteOnly))
        return false;
    options.write("[Options]\r\nTarget=Notepad\r\n");
    return true;
}

int Parent(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? QByteArray(argv[1]).toInt() : 9;
    QTemporaryDir folder;
    QTemporaryDir odbc;
    if (!Fill(folder.path()))
        return 1;
    QFile noDataSources(odbc.filePath(u"odbc.ini"_s));
    if (!noDataSources.open(QIODevice::WriteOnly))
        return 1;
    noDataSources.close();

    QList<double> startMs, residentMiB, stepMs;
    int nodes = 0;
    for (int run = 0; run < runs; ++run) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"ODBCINI"_s, noDataSources.fileName());
        child.setProcessEnvironment(environment);
        const qint64 started = MonotonicNs();
        child.start(QCoreApplication::applicationFilePath(), {u"--child"_s, folder.path()});
        if (!child.waitForFinished(60000) || child.exitCode() != 0) {
            std::fprintf(stderr, "run %d failed: %s\n", run, child.readAllStandardError().constData());
            return 1;
        }
        const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
        if (figures.size() != 5)
            return 1;
        startMs.append((figures[0].toLongLong() - started) / 1e6);
        nodes = figures[1].toInt();
        residentMiB.append(figures[2].toLongLong() / 1024.0);
        stepMs.append(figures[3].toLongLong() / 1e6);
        if (figures[4].toInt() <= 0) {
            std::fprintf(stderr, "the steps showed no Message\n");
            return 1;
        }
    }
    std::printf("%d top-level nodes, %d runs (medians)\n", nodes, runs);
    std::printf("start to window shown with tree filled: %.0f ms (min %.0f, max %.0f)\n", Median(startMs),
                *std::min_element(startMs.begin(), startMs.end()), *std::max_element(startMs.begin(), startMs.end()));
    std::printf("one keyboard step down the tree:        %.2f ms\n", Median(stepMs));
    std::printf("resident memory after start:            %.1f MiB\n", Median(residentMiB));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2 && QByteArray(argv[1]) == "--child")
        return Child(argc, argv);
    return Parent(argc, argv);
}
