// End-to-end send time: from the F12 key press in the program's main window to the
// Message's text arriving in a real editor (Mousepad), idle and with both cores loaded.
// Run under an X server with a window manager, e.g.
//   tests/support/with-x11.sh build/bench/app/bench_send_e2e build/bin/quillbay data/targets.ini
#include "desktoptools.h"
#include "f12send.h"
#include "samples.h"

#include <QFile>
#include <QProcess>
#include <QThread>

#include <X11/Xlib.h>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

QString FindWindow(const QStringList& searchArguments)
{
    QString found;
    if (!WaitFor([&] { return !(found = FindVisibleWindow(searchArguments)).isEmpty(); }, 20000))
        qFatal("window not found");
    return found;
}

void Keys(const QStringList& keys)
{
    Xdotool(QStringList{u"key"_s, u"--clearmodifiers"_s} + keys);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s QUILLBAY TARGETS_INI\n", argv[0]);
        return 2;
    }
    ProgramFolder folder(QString::fromLocal8Bit(argv[1]));
    folder.addFile(QString::fromLocal8Bit(argv[2]), u"targets.ini"_s);
    QFile options(folder.filePath(u"options.ini"_s));
    options.open(QIODevice::WriteOnly);
    options.write("[Options]\nTarget=Notepad\n");
    options.close();

    // A document with a file name, so that Ctrl+S saves it without a dialog and the title
    // loses its modified mark; the paste puts the mark back.
    DesktopProgram editor;
    editor.start(u"mousepad"_s, {folder.filePath(u"bench.txt"_s)});
    const QString editorWindow = editor.window({u"--name"_s, u" - Mousepad$"_s});
    if (editorWindow.isEmpty())
        qFatal("window not found");
    QProcess quillbay;
    quillbay.setProcessEnvironment(folder.environment());
    quillbay.start(folder.program(), {});
    const QString mainWindow = FindWindow({u"--pid"_s, QString::number(quillbay.processId())});

    Display* display = XOpenDisplay(nullptr);
    F12Send f12(display, mainWindow, editorWindow);

    ActivateWindow(mainWindow);
    Xdotool({u"type"_s, u"start"_s});
    Keys({u"Return"_s});
    QThread::msleep(300);

    auto measure = [&](int sends) {
        Samples ms;
        for (int i = 0; i < sends; ++i) {
            ms.add(f12.send());
            QThread::msleep(100); // the program gives the clipboard back after the paste
        }
        return ms;
    };

    const Samples idle = measure(21);
    QProcess loops[2];
    for (auto& loop : loops)
        loop.start(u"sh"_s, {u"-c"_s, u"while :; do :; done"_s});
    const Samples loaded = measure(21);
    for (auto& loop : loops) {
        loop.kill();
        loop.waitForFinished();
    }
    std::printf("F12 to text in the editor, median of 21: idle %.1f ms (worst %.1f), "
                "both cores loaded %.1f ms (worst %.1f)\n",
                idle.median(), idle.worst(), loaded.median(), loaded.worst());

    XCloseDisplay(display);
    quillbay.kill();
    quillbay.waitForFinished();
    editor.stop();
    return 0;
}
