// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calc/calculate.h"
#include "ui/control_table.h"
#include "ui/utf8.h"
#include "vistrel/version.h"

#include <QHash>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace vistrel::ui {

inline constexpr char kApplicationName[] = "Vistrel New";
inline constexpr char kApplicationVersion[] = VISTREL_VERSION;

// The program's one window. Its controls are built from the control table
// and found by name; the handlers work only through their properties.
class Form1 final : public QWidget {
  public:
    // Messages go to `messages` when given, else to modal message boxes.
    explicit Form1(MessageSink* messages = nullptr);
    ~Form1() override;

    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // True from the moment the window starts folding up.
    [[nodiscard]] bool isClosing() const { return closing_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void buildControls();
    void keyboardToScreen(bool calculation);
    void connectHandlers();
    template <class T> [[nodiscard]] T& control(std::string_view name) const;
    void setCaption(std::string_view label, std::string_view caption);
    void colourModeGroups(ModeOption mode);

    void Command1_Click();
    void Back_Click();
    void Exit_Click();
    void SourceID2Op_Click();
    void ILL2Op_Click();
    void BackLum2Op_Click();
    void Clear_Click();
    void FrametwoClick_Click();
    void Form_Unload(std::int16_t& cancel);

    std::unique_ptr<MessageSink> ownMessages_;
    MessageSink* messages_;
    QHash<QString, QWidget*> controls_;
    std::vector<const ControlSpec*> lines_;
    // The controls that take the keyboard, in tab order, with the focus they take.
    std::vector<std::pair<QWidget*, Qt::FocusPolicy>> tabOrder_;
    bool closing_ = false;
};

template <class T> T& Form1::control(std::string_view name) const {
    T* w = qobject_cast<T*>(controls_.value(fromUtf8(name)));
    if (w == nullptr) {
        qFatal("Form1 has no control %.*s of that kind", static_cast<int>(name.size()), name.data());
    }
    return *w;
}

} // namespace vistrel::ui
