// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>

#include <cstdio>
#include <cstdlib>

// Saves the display-type screen, the calculation screen and a worked case.
int main(int argc, char* argv[]) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        putenv(const_cast<char*>(VISTREL_OFFSCREEN));
    }
    QApplication app(argc, argv);
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath());
    vistrel::ui::Form1 form;
    form.show();
    const auto save = [&](const char* name) {
        QApplication::processEvents();
        const QString path = dir.filePath(QString::fromUtf8(name));
        if (!form.grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            std::exit(1);
        }
        std::printf("%s\n", qPrintable(path));
    };
    const auto click = [&](const char* name) { form.findChild<QAbstractButton*>(QString::fromUtf8(name))->click(); };
    const auto type = [&](const char* name, const char* text) {
        form.findChild<QLineEdit*>(QString::fromUtf8(name))->setText(QString::fromUtf8(text));
    };
    save("vistrel-display-type.png");
    click("Option1");
    click("Command1");
    save("vistrel-calculation.png");
    click("ILL2Op");
    for (const auto& [name, text] : {std::pair{"ILLLUX2", "1076"},
                                     {"LetterTrans2", "0.8"},
                                     {"BackTrans2", "0.2"},
                                     {"Age", "40"},
                                     {"LetterHT2", "6"},
                                     {"ViewDist2", "750"},
                                     {"LHSW", "7"}}) {
        type(name, text);
    }
    form.findChild<QWidget*>(QStringLiteral("EaseOfRead"))
        ->findChild<QLineEdit*>()
        ->setText(QStringLiteral("90% confidence"));
    click("FrametwoClick");
    save("vistrel-worked-case.png");
    return 0;
}
