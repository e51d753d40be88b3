// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form1.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

void sayNoDisplay() {
    std::fputs("vistrel: no display is available, so the window cannot open.\n"
               "Start it from a desktop session, or calculate without a window: vistrel-cli --help\n",
               stderr);
}

// Qt's harmless note that it picked a runtime folder itself; stderr stays quiet when all is well.
bool isNoise(const QString& message) { return message.startsWith(u"QStandardPaths: XDG_RUNTIME_DIR not set"); }

void printMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (!isNoise(message)) {
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    }
}

// A display that is set but cannot be reached (a stale ssh forward, a server that has gone) makes
// Qt abort with advice to reinstall; the user gets the same plain message as with no display at all.
void printStartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg && message.contains(u"platform plugin")) {
        sayNoDisplay();
        std::_Exit(1);
    }
    const std::string_view category = context.category != nullptr ? context.category : "";
    if (!category.starts_with("qt.qpa.")) { // the platform's own account of the failure
        printMessage(type, context, message);
    }
}

QIcon hicolorIcon() {
    QIcon icon;
    for (const QString& file : QDir(QStringLiteral(":/icons")).entryList()) {
        icon.addFile(QStringLiteral(":/icons/") + file);
    }
    return icon;
}

} // namespace

int main(int argc, char* argv[]) {
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--help") == 0) {
            std::puts("Usage: vistrel [--help | --version]\n"
                      "Opens the Vistrel New window, which judges whether the lettering of an automotive display\n"
                      "can be read. To calculate without a window: vistrel-cli --help");
            return 0;
        }
        if (std::strcmp(argv[k], "--version") == 0) {
            std::printf("vistrel %s\n", vistrel::ui::kApplicationVersion);
            return 0;
        }
    }
    // Anything else is refused before Qt starts: a typo should not read as a missing display,
    // and Qt's own options must not pick another platform.
    if (argc > 1) {
        std::fprintf(stderr, "vistrel: unknown option %s\nUsage: vistrel [--help | --version]\n", argv[1]);
        return 2;
    }
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};

    qInstallMessageHandler(printStartupMessage);
    QApplication app(qtArgc, qtArgv);
    qInstallMessageHandler(printMessage);

    QApplication::setApplicationName(QString::fromUtf8(vistrel::ui::kApplicationName));
    QApplication::setApplicationVersion(QString::fromUtf8(vistrel::ui::kApplicationVersion));
    // Lets docks and task switchers group the window with its launcher and show its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(VISTREL_APP_ID));
    QApplication::setWindowIcon(hicolorIcon());
    vistrel::ui::Form1 window;
    window.show();
    return QApplication::exec();
}
