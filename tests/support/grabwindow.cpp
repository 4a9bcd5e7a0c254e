// grabwindow X Y WIDTH HEIGHT FILE.png: saves that part of the screen, for the README's pictures.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    int area[4] = {};
    bool ok = argc == 6;
    for (int i = 0; ok && i < 4; ++i)
        area[i] = QString::fromLocal8Bit(argv[i + 1]).toInt(&ok);
    if (!ok) {
        std::fputs("usage: grabwindow X Y WIDTH HEIGHT FILE.png\n", stderr);
        return 2;
    }
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(0, area[0], area[1], area[2], area[3]).toImage();
    return !image.isNull() && image.save(QString::fromLocal8Bit(argv[5])) ? 0 : 1;
}
