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

namespace vistrel::ui {

namespace {

// The fields each input mode uses, with the labels that name them.
constexpr std::array kSourceGroup{"Label54", "SourceID2",  "Label53", "Label52", "DistSinM2",  "Label51",
                                  "Label50", "DistSinFT2", "Label49", "Label48", "DistSinIn2", "Label47"};
constexpr std::array kIlluminanceGroup{"Label56", "ILLLUX2", "Label57", "Label55", "ILLFC2", "Label58"};
constexpr std::array kReflectanceGroup{"LetterTrans2", "Label64", "BackTrans2", "Label63"};
constexpr std::array kLuminanceGroup{"Label10", "BackLumCDM",   "BackLum",  "Label40", "Label41",
                                     "Label38", "Label26",      "Label11",  "Label69", "Label45",
                                     "Label39", "LetterLumCDM", "LetterLum"};

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

void Form1::colourModeGroups(Look source, Look illuminance, Look reflectance, Look luminance) {
    const auto paint = [this](const auto& group, Look look) {
        for (const char* name : group) {
            auto& w = control<QWidget>(name);
            if (qobject_cast<QLabel*>(&w) != nullptr) {
                setForeColour(w, Kind::Label, look == Look::Normal ? kButtonText : kGrey);
            } else {
                setBackColour(w, Kind::TextBox, look == Look::Normal ? kWindowBackground : kGrey);
            }
        }
    };
    paint(kSourceGroup, source);
    paint(kIlluminanceGroup, illuminance);
    paint(kReflectanceGroup, reflectance);
    paint(kLuminanceGroup, luminance);
}

void Form1::SourceID2Op_Click() {
    colourModeGroups(Look::Normal, Look::Grey, Look::Normal, Look::Grey);
    setSelected(control<QRadioButton>("BackLum2Op"), false);
}

void Form1::ILL2Op_Click() {
    colourModeGroups(Look::Grey, Look::Normal, Look::Normal, Look::Grey);
    setSelected(control<QRadioButton>("BackLum2Op"), false);
}

void Form1::BackLum2Op_Click() {
    colourModeGroups(Look::Grey, Look::Grey, Look::Grey, Look::Normal);
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
    LocalExamples messages(*messages_, locale);
    calculate(fields, numbers, messages);
}

} // namespace vistrel::ui
