// Writes the window's icon as a PNG file, for installing beside the desktop entry.
#include "window_icon.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvane-icon-export OUT.png\n");
        return 2;
    }
    return korvane::windowIconImage().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
