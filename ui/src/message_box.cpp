// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/message_box.h"

#include "ui/form1.h"
#include "ui/utf8.h"

#include <QMessageBox>

namespace vistrel::ui {

void DialogMessageSink::showMessage(std::string_view text, MessageStyle style) {
    QMessageBox box(style == MessageStyle::Critical ? QMessageBox::Critical : QMessageBox::Warning,
                    fromUtf8(kApplicationName), fromUtf8(text), QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace vistrel::ui
