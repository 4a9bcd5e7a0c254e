// End-to-end send time on a Wayland desktop: from the F12 key press (bound in sway to
// "quillbay --send") to the Message's text arriving in native Wayland Mousepad, idle and with
// both cores loaded. The arrival is the editor's title gaining its modified mark, polled
// through swaymsg (some milliseconds a look). Run under a headless sway, e.g.
//   tests/support/with-wayland.sh sway build/bench/app/bench_send_wayland build/bin/quillbay data/targets.ini
// (bench/send-figures.sh runs it beside the X11 figure).
#include "desktoptools.h"
#include "samples.h"
#include "waylanddesktop.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    if (argc != 3 || !qEnvironmentVariableIsSet("SWAYSOCK")) {
        std::fprintf(stderr, "usage (under with-wayland.sh sway): %s QUILLBAY TARGETS_INI\n", argv[0]);
        return 2;
    }
    ProgramFolder folder(QString::fromLocal8Bit(argv[1]));
    folder.addFile(QString::fromLocal8Bit(argv[2]), u"targets.ini"_s);
    QFile options(folder.filePath(u"options.ini"_s));
    if (!options.open(QIODevice::WriteOnly) || options.write("[Options]\nTarget=Notepad\n") < 0)
        qFatal("cannot write options.ini");
    options.close();
    QProcessEnvironment environment = folder.environment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"wayland"_s);
    QString command = u"bindsym F12 exec env"_s;
    for (const QString& name : {u"HOME"_s, u"XDG_CONFIG_HOME"_s, u"ODBCINI"_s, u"QT_QPA_PLATFORM"_s})
        command += u' ' + name + u'=' + environment.value(name);
    RunTool(u"swaymsg"_s, {command + u' ' + folder.program() + u" --send"_s});

    const WaylandDesktop desktop;
    // A document with a file name, so that Ctrl+S saves it without a dialog and the title
    // loses its modified mark; the paste puts the mark back.
    QProcessEnvironment editorEnvironment = QProcessEnvironment::systemEnvironment();
    editorEnvironment.insert(u"GDK_BACKEND"_s, u"wayland"_s);
    editorEnvironment.insert(u"NO_AT_BRIDGE"_s, u"1"_s);
    DesktopProgram editor(editorEnvironment);
    editor.start(u"mousepad"_s, {folder.filePath(u"bench.txt"_s)});
    const auto editorWindow = desktop.waitForWindow(u" - Mousepad"_s, [](const auto&) { return true; });
    if (!editorWindow)
        qFatal("Mousepad did not show its window");

    QProcess quillbay;
    quillbay.setProcessEnvironment(environment);
    quillbay.start(folder.program(), {});
    int startBoxes = 0;
    const auto mainWindow = desktop.waitForProgram(quillbay.processId(), u"Tolvane Quillbay"_s, startBoxes);
    if (!mainWindow)
        qFatal("the program did not show its main window");
    desktop.activate(*mainWindow);
    desktop.typeText(u"start"_s);
    desktop.pressKeys({u"Return"_s});
    QThread::msleep(300);

    auto measure = [&](int sends) {
        Samples ms;
        for (int i = 0; i < sends; ++i) {
            desktop.activate(*editorWindow);
            desktop.pressKeys({u"ctrl+a"_s, u"Delete"_s, u"ctrl+s"_s});
            WaitFor([&] { return !desktop.title(u" - Mousepad"_s).startsWith(u'*'); }, 5000);
            QThread::msleep(200);
            // The clock starts when the key tool has its keyboard and presses the key.
            QProcess keys;
            keys.start(WaylandDesktop::keysTool(), {u"--ready"_s, u"F12"_s});
            if (!keys.waitForReadyRead(10000))
                qFatal("qb_wlkeys did not get to the key");
            QElapsedTimer clock;
            clock.start();
            QDeadlineTimer deadline(10000);
            while (!desktop.title(u" - Mousepad"_s).startsWith(u'*')) {
                if (deadline.hasExpired())
                    qFatal("nothing was pasted");
            }
            ms.add(double(clock.nsecsElapsed()) / 1e6);
            keys.waitForFinished();
            // The program gives the clipboard back after the paste.
            QThread::msleep(300);
        }
        return ms;
    };

    const Samples idle = measure(20);
    QProcess loops[2];
    for (auto& loop : loops)
        loop.start(u"sh"_s, {u"-c"_s, u"while :; do :; done"_s});
    const Samples loaded = measure(20);
    for (auto& loop : loops) {
        loop.kill();
        loop.waitForFinished();
    }
    std::printf("sway: F12 to text in native Wayland Mousepad, median of 20: idle %.1f ms (worst %.1f), "
                "both cores loaded %.1f ms (worst %.1f)\n",
                idle.median(), idle.worst(), loaded.median(), loaded.worst());

    quillbay.kill();
    quillbay.waitForFinished();
    editor.stop();
    return 0;
}
