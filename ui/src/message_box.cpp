#include "ui/message_box.h"

#include "ui/form1.h"

#include <QMessageBox>

namespace vistrel::ui {

void DialogMessageSink::showMessage(std::string_view text, MessageStyle style) {
    QMessageBox box(style == MessageStyle::Critical ? QMessageBox::Critical : QMessageBox::Warning,
                    QString::fromUtf8(kApplicationName),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace vistrel::ui
