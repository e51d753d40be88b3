// SPDX-License-Identifier: GPL-3.0-or-later
// Prints how long the window takes to fold up and close, in milliseconds: bench/fold.sh
#include "ui/form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    vistrel::ui::Form1 window;
    window.show();
    // Give the window manager time to frame and place the window first.
    QTimer::singleShot(300, &window, [&window] {
        QElapsedTimer clock;
        clock.start();
        window.close();
        std::printf("%.1f\n", static_cast<double>(clock.nsecsElapsed()) / 1e6);
        QCoreApplication::quit();
    });
    return QApplication::exec();
}
