// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form1.h"

#include "controls.h"
#include "ui/field_adapter.h"
#include "ui/regional.h"
#include "ui/utf8.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <array>
#include <utility>

namespace vistrel::ui {

namespace {

// The labels that name each group's fields; the fields come from the engine's table.
constexpr std::array<std::pair<const char*, ModeGroup>, 23> kGroupLabels{{
    {"Label54", ModeGroup::Source},      {"Label53", ModeGroup::Source},      {"Label52", ModeGroup::Source},
    {"Label51", ModeGroup::Source},      {"Label50", ModeGroup::Source},      {"Label49", ModeGroup::Source},
    {"Label48", ModeGroup::Source},      {"Label47", ModeGroup::Source},      {"Label56", ModeGroup::Illuminance},
    {"Label57", ModeGroup::Illuminance}, {"Label55", ModeGroup::Illuminance}, {"Label58", ModeGroup::Illuminance},
    {"Label64", ModeGroup::Reflectance}, {"Label63", ModeGroup::Reflectance}, {"Label10", ModeGroup::Luminance},
    {"Label40", ModeGroup::Luminance},   {"Label41", ModeGroup::Luminance},   {"Label38", ModeGroup::Luminance},
    {"Label26", ModeGroup::Luminance},   {"Label11", ModeGroup::Luminance},   {"Label69", ModeGroup::Luminance},
    {"Label45", ModeGroup::Luminance},   {"Label39", ModeGroup::Luminance},
}};

// Sets an option button's state without a click, so no handler runs again.
void setSelected(QRadioButton& option, bool selected) {
    if (selected || !option.isChecked()) {
        option.setChecked(selected);
        return;
    }
    // An exclusive group refuses to clear its selected button.
    option.setAutoExclusive(false);
    option.setChecked(false);
    option.setAutoExclusive(true);
}

} // namespace

void Form1::connectHandlers() {
    const auto onClick = [this](std::string_view name, void (Form1::*handler)()) {
        connect(&control<QAbstractButton>(name), &QAbstractButton::clicked, this,
                [this, handler] { (this->*handler)(); });
    };
    onClick("Command1", &Form1::Command1_Click);
    onClick("Back", &Form1::Back_Click);
    onClick("Exit", &Form1::Exit_Click);
    onClick("SourceID2Op", &Form1::SourceID2Op_Click);
    onClick("ILL2Op", &Form1::ILL2Op_Click);
    onClick("BackLum2Op", &Form1::BackLum2Op_Click);
    onClick("Clear", &Form1::Clear_Click);
    onClick("FrametwoClick", &Form1::FrametwoClick_Click);
}

void Form1::setCaption(std::string_view label, std::string_view caption) {
    auto& w = control<QLabel>(label);
    w.setText(fromUtf8(caption));
    w.setAccessibleName(w.text());
}

void Form1::Command1_Click() {
    if (control<QRadioButton>("Option1").isChecked()) {
        control<QWidget>("Frame2").setVisible(true);
        setCaption("Label42", "Externally Illuminated Display");
        setCaption("Label63", "Letter Reflectance");
        setCaption("Label64", "Background Reflectance");
    }
    if (control<QRadioButton>("Option2").isChecked()) {
        control<QWidget>("Frame2").setVisible(true);
        setCaption("Label42", "Backlit Display");
        setCaption("Label63", "Letter Transmittance");
        setCaption("Label64", "Background Transmittance");
    }
}

void Form1::Back_Click() { control<QWidget>("Frame2").setVisible(false); }

void Form1::Exit_Click() { close(); }

// Every group in one pass: the colours show together at the next repaint.
void Form1::colourModeGroups(ModeOption mode) {
    for (const FieldInfo& field : kFields) {
        if (field.group != ModeGroup::None) {
            setBackColour(control<QWidget>(field.name), Kind::TextBox,
                          greys(mode, field.group) ? kGrey : kWindowBackground);
        }
    }
    for (const auto& [label, group] : kGroupLabels) {
        setForeColour(control<QWidget>(label), Kind::Label, greys(mode, group) ? kGrey : kButtonText);
    }
}

void Form1::SourceID2Op_Click() {
    colourModeGroups(ModeOption::SourceID2Op);
    setSelected(control<QRadioButton>("BackLum2Op"), false);
}

void Form1::ILL2Op_Click() {
    colourModeGroups(ModeOption::ILL2Op);
    setSelected(control<QRadioButton>("BackLum2Op"), false);
}

void Form1::BackLum2Op_Click() {
    colourModeGroups(ModeOption::BackLum2Op);
    setSelected(control<QRadioButton>("BackLum2Op"), true);
}

void Form1::Clear_Click() {
    WidgetFieldStore fields(*this);
    clearFields(fields);
}

void Form1::FrametwoClick_Click() {
    WidgetFieldStore fields(*this);
    // The user's regional settings: the system locale, unless the program chose another.
    const QLocale locale;
    const NumberText numbers(numberFormatFrom(locale));
    calculate(fields, numbers, *messages_);
}

} // namespace vistrel::ui
