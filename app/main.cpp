#include "ui/form1.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Without a display Qt aborts with a toolkit message; say plainly what is wrong instead.
bool displayMissing() {
#if defined(Q_OS_LINUX)
    const auto unset = [](const char* name) {
        const char* value = std::getenv(name);
        return value == nullptr || *value == '\0';
    };
    return unset("QT_QPA_PLATFORM") && unset("DISPLAY") && unset("WAYLAND_DISPLAY");
#else
    return false;
#endif
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("vistrel %s\n", vistrel::ui::kApplicationVersion);
        return 0;
    }
    if (displayMissing()) {
        std::fputs("vistrel: no display is available, so the window cannot open.\n"
                   "Start it from a desktop session, or calculate without a window: vistrel-cli --help\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(vistrel::ui::kApplicationName));
    QApplication::setApplicationVersion(QString::fromUtf8(vistrel::ui::kApplicationVersion));
    vistrel::ui::Form1 window;
    window.show();
    return QApplication::exec();
}
