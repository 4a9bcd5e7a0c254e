// Soak of the whole send: N sends into Mousepad and N into FeatherPad with both cores kept
// busy and a clipboard manager (CopyQ) running. Before each send the clipboard holds a text
// and a picture; each send checks the text in the editor and that the clipboard comes back
// exactly (text and picture). Reports the counts and the median and 95th percentile of the
// time from F12 to the text in the editor. Run under an X server with a window manager:
//   tests/support/with-x11.sh build/bench/app/bench_send_soak build/bin/quillbay [N]
#include "desktoptools.h"
#include "f12send.h"
#include "samples.h"

#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>

#include <X11/Xlib.h>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// Reads one format of the clipboard with xclip, our events flowing.
QByteArray ReadClipboard(const QString& target)
{
    QProcess xclip;
    xclip.start(u"xclip"_s, {u"-o"_s, u"-selection"_s, u"clipboard"_s, u"-t"_s, target});
    Poll([&] { return xclip.state() == QProcess::NotRunning; }, 5000, 1000);
    return xclip.readAllStandardOutput();
}

QByteArray Picture()
{
    QImage image(160, 120, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setBrush(Qt::blue);
    painter.drawEllipse(20, 10, 120, 100);
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

struct Editor {
    QString program;
    QString file;
};

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s QUILLBAY [SENDS]\n", argv[0]);
        return 2;
    }
    const int sends = argc > 2 ? std::atoi(argv[2]) : 100;
    ProgramFolder folder(QString::fromLocal8Bit(argv[1]));
    // Both editors by a file name of their document, also when it is marked modified.
    QFile targets(folder.filePath(u"targets.ini"_s));
    targets.open(QIODevice::WriteOnly);
    targets.write(
        "[Notepad]\nTarget=oak-mousepad\nSearch Type=Substring\nTarget2=oak-feather\nSearch Type2=Substring\n");
    targets.close();
    QFile options(folder.filePath(u"options.ini"_s));
    options.open(QIODevice::WriteOnly);
    options.write(qgetenv("QB_SOAK_OPTIONS").isEmpty() ? QByteArray("[Options]\nTarget=Notepad\n")
                                                       : qgetenv("QB_SOAK_OPTIONS").replace("\\n", "\n"));
    options.close();

    DesktopProgram manager;
    if (!manager.start(u"copyq"_s, {u"--start-server"_s})) {
        std::fprintf(stderr, "copyq did not start\n");
        return 1;
    }

    QProcess quillbay;
    quillbay.setProcessEnvironment(folder.environment());
    quillbay.start(folder.program(), {});
    QString mainWindow;
    if (!WaitFor(
            [&] {
                return !(mainWindow = FindVisibleWindow({u"--pid"_s, QString::number(quillbay.processId())})).isEmpty();
            },
            20000))
        qFatal("main window not found");
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s);
    db.setDatabaseName(folder.filePath(u"quillbay.db"_s));
    db.open();
    QSqlQuery query(u"select Text from FAQ where Hotword = 'start'"_s, db);
    query.next();
    const QString expected = query.value(0).toString();
    query.finish();
    db.close();

    Display* display = XOpenDisplay(nullptr);
    ActivateWindow(mainWindow);
    Xdotool({u"type"_s, u"start"_s});
    Xdotool({u"key"_s, u"Return"_s});
    QThread::msleep(300);

    QProcess loops[2];
    for (auto& loop : loops)
        loop.start(u"sh"_s, {u"-c"_s, u"while :; do :; done"_s});
    const QByteArray picture = Picture();
    QClipboard* clipboard = QGuiApplication::clipboard();

    for (const Editor& editor :
         {Editor{u"mousepad"_s, u"soak-mousepad.txt"_s}, Editor{u"featherpad"_s, u"soak-feather.txt"_s}}) {
        QFile(folder.filePath(editor.file)).open(QIODevice::WriteOnly);
        DesktopProgram process;
        process.start(editor.program, {folder.filePath(editor.file)});
        const QString window = process.window({u"--name"_s, editor.file.mid(1, 8)});
        if (window.isEmpty())
            qFatal("editor window not found");
        F12Send f12(display, mainWindow, window);
        int rightTexts = 0;
        int restored = 0;
        Samples ms;
        for (int send = 1; send <= sends; ++send) {
            // Our clipboard holds a text and a picture, so that the program has both to give back.
            const QString before = u"clipboard before send %1 — ü"_s.arg(send);
            ms.add(f12.send([&] {
                auto* data = new QMimeData;
                data->setText(before);
                data->setData(u"image/png"_s, picture);
                clipboard->setMimeData(data);
                Poll([&] { return clipboard->ownsClipboard(); }, 5000);
            }));

            // The program takes the clipboard for the paste and then puts ours back.
            const bool back = Poll(
                [&] { return !clipboard->ownsClipboard() && ReadClipboard(u"UTF8_STRING"_s) == before.toUtf8(); }, 5000,
                5000);
            if (back && ReadClipboard(u"image/png"_s) == picture)
                ++restored;

            ActivateWindow(window);
            clipboard->setText(u"marker"_s);
            Xdotool({u"key"_s, u"--clearmodifiers"_s, u"ctrl+a"_s, u"ctrl+c"_s});
            Poll([&] { return !clipboard->ownsClipboard(); }, 5000, 1000);
            if (clipboard->text().replace(u"\r\n"_s, u"\n"_s) == expected)
                ++rightTexts;
        }
        std::printf("%s: %d sends, %d right texts, %d clipboards restored (text and picture); F12 to text in "
                    "the editor: median %.1f ms, 95th percentile %.1f ms, worst %.1f ms\n",
                    qPrintable(editor.program), sends, rightTexts, restored, ms.median(), ms.percentile(0.95),
                    ms.worst());
        std::fflush(stdout);
        process.stop();
    }
    for (auto& loop : loops) {
        loop.kill();
        loop.waitForFinished();
    }
    XCloseDisplay(display);
    QProcess exit;
    exit.setProcessEnvironment(manager.environment());
    exit.start(u"copyq"_s, {u"exit"_s});
    exit.waitForFinished();
    quillbay.kill();
    quillbay.waitForFinished();
    manager.stop();
    return 0;
}
