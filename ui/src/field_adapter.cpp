// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/field_adapter.h"

#include "ui/utf8.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

#include <stdexcept>

namespace vistrel::ui {

namespace {

template <class T> T* find(QWidget& window, std::string_view name) {
    T* w = window.findChild<T*>(fromUtf8(name));
    if (w == nullptr) {
        throw std::logic_error("the window has no control " + std::string(name));
    }
    return w;
}

} // namespace

WidgetFieldStore::WidgetFieldStore(QWidget& window) {
    for (const FieldInfo& f : kFields) {
        if (f.window) {
            fields_[static_cast<std::size_t>(f.field)] = find<QWidget>(window, f.name);
        }
    }
    for (std::size_t k = 0; k < kModeOptionCount; ++k) {
        options_[k] = find<QAbstractButton>(window, modeOptionName(static_cast<ModeOption>(k)));
    }
}

// A field the window has no box for reads as empty and keeps nothing.
std::string WidgetFieldStore::text(Field field) const {
    const QWidget* box = fields_[static_cast<std::size_t>(field)];
    return box == nullptr ? std::string() : controlText(*box).toStdString();
}

void WidgetFieldStore::setText(Field field, std::string_view text) {
    if (QWidget* box = fields_[static_cast<std::size_t>(field)]; box != nullptr) {
        setControlText(*box, fromUtf8(text));
    }
}

bool WidgetFieldStore::isSelected(ModeOption option) const {
    return options_[static_cast<std::size_t>(option)]->isChecked();
}

QString controlText(const QWidget& control) {
    if (const auto* box = qobject_cast<const QLineEdit*>(&control)) {
        return box->text();
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(&control)) {
        return combo->currentText();
    }
    throw std::logic_error("not a text field: " + control.objectName().toStdString());
}

void setControlText(QWidget& control, const QString& text) {
    if (auto* box = qobject_cast<QLineEdit*>(&control)) {
        box->setText(text);
        return;
    }
    if (auto* combo = qobject_cast<QComboBox*>(&control)) {
        // The list's selection follows the text: an item's own text selects it, any other text none.
        combo->setCurrentIndex(combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
        combo->setEditText(text);
        return;
    }
    throw std::logic_error("not a text field: " + control.objectName().toStdString());
}

} // namespace vistrel::ui
