// SPDX-License-Identifier: GPL-3.0-or-later
// Time to the first painted window: Form1, or with --bare a single empty QWidget.
#include "ui/form1.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// Ends the process once the window's first paint has gone out.
class FirstPaint final : public QObject {
  protected:
    bool eventFilter(QObject* /*target*/, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            QTimer::singleShot(0, [] { std::_Exit(0); });
        }
        return false;
    }
};

} // namespace

int main(int argc, char* argv[]) {
    const bool bare = argc > 1 && std::strcmp(argv[1], "--bare") == 0;
    QApplication app(argc, argv);
    std::unique_ptr<QWidget> window = bare ? std::make_unique<QWidget>() : std::make_unique<vistrel::ui::Form1>();
    if (bare) {
        window->setFixedSize(797, 723);
    }
    FirstPaint watcher;
    window->installEventFilter(&watcher);
    window->show();
    return QApplication::exec();
}
