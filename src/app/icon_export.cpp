// Writes the window's icon as a PNG file of a given size, for the desktop's icon theme.
#include "window_icon.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const int size = argc == 3 ? std::atoi(argv[1]) : 0;
    if (size < 16 || size > 1024) {
        std::fprintf(stderr, "usage: korvane-icon-export SIZE OUT.png (SIZE 16 to 1024 pixels)\n");
        return 2;
    }
    return korvane::windowIconImage(size).save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
