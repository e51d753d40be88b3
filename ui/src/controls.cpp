// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls.h"

#include "calc/calculate.h"
#include "ui/colours.h"
#include "ui/utf8.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <limits>

namespace vistrel::ui {

namespace {

// A push button whose caption wraps onto further lines when it is too long.
class WrappingButton final : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        painter.drawItemText(area, Qt::AlignCenter | Qt::TextWordWrap, palette(), isEnabled(), text(),
                             QPalette::ButtonText);
    }
};

// A label whose caption wraps only at spaces, as the window's captions were
// written for; a word wider than the label is cut off rather than split.
class CaptionLabel final : public QLabel {
  public:
    CaptionLabel(const QString& caption, Align align, QWidget& parent) : QLabel(caption, &parent), align_(align) {
        setTextFormat(Qt::PlainText);
    }

  protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        const QFontMetrics metrics(font());
        const Qt::Alignment align = Qt::AlignTop | (align_ == Align::Centre ? Qt::AlignHCenter : Qt::AlignLeft);
        int y = 0;
        for (const QString& line : wrapped(metrics)) {
            painter.drawText(QRect(0, y, width(), metrics.height()), static_cast<int>(align) | Qt::TextDontClip, line);
            y += metrics.height();
        }
    }

  private:
    [[nodiscard]] QStringList wrapped(const QFontMetrics& metrics) const {
        const QString caption = text();
        if (metrics.horizontalAdvance(caption) <= width()) {
            return {caption};
        }
        QStringList lines;
        QString line;
        for (const QString& word : caption.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (!line.isEmpty() && metrics.horizontalAdvance(longer) > width()) {
                lines.append(line);
                line = word;
            } else {
                line = longer;
            }
        }
        lines.append(line);
        return lines;
    }

    Align align_;
};

// An option button that answers a click anywhere in its box, not only on its
// round button and caption.
class OptionButton final : public QRadioButton {
  public:
    using QRadioButton::QRadioButton;

  protected:
    [[nodiscard]] bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

QFont fontFor(FontStyle style) {
    QFont font;
    // The window was laid out for MS Sans Serif; these come closest where it is missing.
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    int points = 12;
    bool bold = true;
    switch (style) {
    case FontStyle::None: return QApplication::font();
    case FontStyle::S12: bold = false; break;
    case FontStyle::S12B: break;
    case FontStyle::S18B: points = 18; break;
    case FontStyle::S24B: points = 24; break;
    }
    // Pixels, not points: the font must scale with the twips-based layout, not with the screen's DPI.
    font.setPixelSize(points * 96 / 72);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

ColourValue standardFore(Kind kind) {
    switch (kind) {
    case Kind::TextBox:
    case Kind::ComboBox:
    case Kind::Line: return kWindowText;
    default: return kButtonText;
    }
}

ColourValue standardBack(Kind kind) {
    return kind == Kind::TextBox || kind == Kind::ComboBox ? kWindowBackground : kButtonFace;
}

void setRole(QWidget& w, QPalette::ColorRole role, ColourValue value) {
    QPalette palette = w.palette();
    palette.setColor(role, colourOf(value));
    w.setPalette(palette);
}

QWidget* makeWidget(const ControlSpec& spec, QWidget& container) {
    const QString caption = fromUtf8(spec.caption);
    switch (spec.kind) {
    case Kind::Label: return new CaptionLabel(caption, spec.align, container);
    case Kind::TextBox: {
        auto* box = new QLineEdit(caption, &container);
        box->setAlignment(Qt::AlignCenter);
        box->setMaxLength(std::numeric_limits<int>::max());
        return box;
    }
    case Kind::ComboBox: {
        auto* combo = new QComboBox(&container);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        // Typing must not be completed into a list item behind the user's back.
        combo->setCompleter(nullptr);
        for (const EaseLevel& level : kEaseLevels) {
            combo->addItem(fromUtf8(level.text));
        }
        combo->setMaxVisibleItems(static_cast<int>(kEaseLevels.size()));
        combo->setCurrentIndex(-1);
        combo->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
        combo->setEditText(caption);
        return combo;
    }
    case Kind::OptionButton: return new OptionButton(caption, &container);
    case Kind::CommandButton: {
        auto* button = new WrappingButton(caption, &container);
        button->setAutoDefault(false);
        button->setDefault(false);
        return button;
    }
    case Kind::Frame: {
        auto* frame = new FrameControl(container);
        frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
        frame->setAutoFillBackground(true);
        return frame;
    }
    case Kind::Line: break;
    }
    return nullptr;
}

} // namespace

QRect pixelRect(const ControlSpec& spec) {
    return {toPixels(spec.a), toPixels(spec.b), toPixels(spec.c), toPixels(spec.d)};
}

void setForeColour(QWidget& control, Kind kind, ColourValue value) {
    switch (kind) {
    case Kind::Label: setRole(control, QPalette::WindowText, value); break;
    case Kind::TextBox:
    case Kind::ComboBox: setRole(control, QPalette::Text, value); break;
    default: setRole(control, QPalette::ButtonText, value); break;
    }
}

void setBackColour(QWidget& control, Kind kind, ColourValue value) {
    if (kind == Kind::TextBox || kind == Kind::ComboBox) {
        setRole(control, QPalette::Base, value);
        return;
    }
    setRole(control, QPalette::Window, value);
    setRole(control, QPalette::Button, value);
}

QWidget* createControl(const ControlSpec& spec, QWidget& container) {
    QWidget* w = makeWidget(spec, container);
    if (w == nullptr) {
        return nullptr;
    }
    w->setObjectName(fromUtf8(spec.name));
    w->setAccessibleName(fromUtf8(spec.accessible.empty() ? spec.caption : spec.accessible));
    w->setGeometry(pixelRect(spec));
    w->setFont(fontFor(spec.font));
    setForeColour(*w, spec.kind, spec.fore.value_or(standardFore(spec.kind)));
    setBackColour(*w, spec.kind, spec.back.value_or(standardBack(spec.kind)));
    w->setVisible(!spec.hidden);
    return w;
}

void paintLines(QWidget& container, std::span<const ControlSpec* const> lines) {
    QPainter painter(&container);
    for (const ControlSpec* line : lines) {
        QPen pen(colourOf(line->fore.value_or(standardFore(Kind::Line))), 5);
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        painter.drawLine(toPixels(line->a), toPixels(line->b), toPixels(line->c), toPixels(line->d));
    }
}

void FrameControl::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    paintLines(*this, lines_);
}

} // namespace vistrel::ui
