// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/colours.h"
#include "ui/form1.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <random>
#include <set>

namespace {

using namespace vistrel::ui;

constexpr int kActions = 20000;
constexpr std::uint32_t kDefaultSeed = 20240611;

// A modal box runs the window's pending events until it is dismissed; none of them may raise a second box.
struct OneBoxAtATime final : vistrel::MessageSink {
    int shown = 0;
    bool open = false;
    void showMessage(std::string_view /*text*/, vistrel::MessageStyle /*style*/) override {
        EXPECT_TRUE(!open && QApplication::activeModalWidget() == nullptr) << "two messages at once";
        open = true;
        ++shown;
        QCoreApplication::processEvents();
        open = false;
    }
};

// Every outer size, in twips, that the window takes.
struct SizeLog final : QObject {
    std::vector<QSize> sizes;
    bool eventFilter(QObject* target, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            sizes.push_back(static_cast<QWidget*>(target)->frameGeometry().size() * kTwipsPerPixel);
        }
        return false;
    }
};

// Number forms, valid and not, from no locale in particular.
const QStringList kPieces =
    QString::fromUtf8("0|7|0.8|0,2|.5|5.|-3|+3|1e308|1e-400|-1E+5|9e99999|1,234.5|1.234,5|1 234|0x1F|inf|NaN| "
                      "|\t|%|\u2212|\u200E|\u200F|\u061C|\u0663\u066B\u0665|\u06F4\u06F0|\uFF11|\U0001D7DA|Legible")
        .split(u'|')
    << QString(QChar(0));
const std::array kLocales{QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::Swedish),
                          QLocale(QLocale::German, QLocale::Switzerland),   QLocale(QLocale::Arabic, QLocale::Egypt),
                          QLocale(QLocale::Hindi, QLocale::India),          QLocale(QLocale::French, QLocale::France)};
const std::array kCaseInputs{"SourceID2",  "DistSinM2", "ILLLUX2",   "BackLumCDM", "LetterLumCDM", "LetterTrans2",
                             "BackTrans2", "Age",       "ViewDist2", "LetterHT2",  "LHSW"};
// Weighted the way a user works: calculate often, clear and go back seldom.
const std::array kFrameButtons{"FrametwoClick", "FrametwoClick", "FrametwoClick", "SourceID2Op",
                               "ILL2Op",        "BackLum2Op",    "Back",          "Clear"};
const std::array kMainButtons{"Option1", "Option2", "Command1"};

class GuiStress : public testing::Test {
  protected:
    void SetUp() override {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    void TearDown() override { QLocale::setDefault(kLocales[0]); }

    template <class T = QWidget> T& get(const char* name) { return *form.findChild<T*>(QString::fromUtf8(name)); }
    std::uint32_t pick(std::size_t n) { return static_cast<std::uint32_t>(rng() % n); }
    bool checked(const char* option) { return get<QRadioButton>(option).isChecked(); }

    QString number() { return QLocale().toString(pick(100000) / std::pow(10.0, pick(6)), 'f', int(pick(4))); }
    // Half of them numbers as the locale writes them; now and then thousands of characters.
    QString randomText(bool longAllowed) {
        const std::uint32_t kind = pick(10);
        QString text = kind < 5 ? number() : QString();
        for (std::uint32_t n = kind < 5 ? 0 : pick(4); n-- > 0;) {
            text += kPieces[pick(static_cast<std::size_t>(kPieces.size()))];
        }
        return longAllowed && kind == 9 ? text.repeated(int(pick(2000)) + 500) : text;
    }

    // Where the user sees the control, so that one hidden or covered can't be reached.
    void click(QWidget& w) {
        ASSERT_EQ(form.childAt(w.mapTo(&form, w.rect().center())), &w) << w.objectName().toStdString();
        QTest::mouseClick(&w, Qt::LeftButton);
        clicked.insert(w.objectName());
    }

    // Replaces the box's text key by key; returns what a keyboard can enter of it.
    QString type(QLineEdit& box, const QString& text) {
        click(box);
        QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&box, Qt::Key_Delete);
        QString typed;
        for (const char32_t c : text.toUcs4()) {
            if (c >= 0x20) { // no key enters a control character
                const QString key = QString::fromUcs4(&c, 1);
                const Qt::Key code = c < 0x7F ? QTest::asciiToKey(static_cast<char>(c)) : Qt::Key_unknown;
                QTest::sendKeyEvent(QTest::Click, &box, code, key, Qt::NoModifier);
                typed += key;
            }
        }
        return typed;
    }

    void editBox(QLineEdit& box) {
        const bool typed = pick(3) == 0;
        QString text = &box == ease.lineEdit() && pick(2) == 0 ? ease.itemText(int(pick(8))) : randomText(!typed);
        if (typed) {
            text = type(box, text);
        } else {
            box.setText(text);
        }
        EXPECT_EQ(box.text(), text) << box.objectName().toStdString();
    }

    // From the open list by mouse, or one step by arrow key.
    void pickEase() {
        if (pick(2) == 0) {
            QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false")); // "cannot raise" under offscreen
            ease.showPopup();
            QAbstractItemView& list = *ease.view();
            QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                              list.visualRect(list.model()->index(int(pick(8)), 0)).center());
            QLoggingCategory::setFilterRules({});
        } else {
            QTest::keyClick(&ease, ease.currentIndex() < 7 ? Qt::Key_Down : Qt::Key_Up);
        }
        ASSERT_GE(ease.currentIndex(), 0);
        EXPECT_EQ(ease.currentText(), ease.itemText(ease.currentIndex()));
    }

    void clickButton(const std::string& name) {
        const int shownBefore = sink.shown;
        const QString fieldCorr = get<QLineEdit>("FieldCorr").text();
        click(get(name.c_str()));
        const bool option1 = checked("Option1");
        if (name.starts_with("Option")) {
            EXPECT_TRUE(checked(name.c_str()) && option1 != checked("Option2"));
        } else if (name == "Command1" || name == "Back") {
            EXPECT_EQ(get("Frame2").isVisible(), name == "Command1" && (option1 || checked("Option2")));
            EXPECT_EQ(get<QLabel>("Label42").text(), option1 ? "Externally Illuminated Display" : "Backlit Display");
        } else if (name.ends_with("Op")) {
            EXPECT_TRUE(checked(name.c_str()));
            EXPECT_EQ(get("ILLLUX2").palette().color(QPalette::Base),
                      colourOf(name == "ILL2Op" ? kWindowBackground : kGrey));
        } else if (name == "Clear") {
            for (const QLineEdit* box : get("Frame2").findChildren<QLineEdit*>()) {
                EXPECT_EQ(box->text(), "") << box->objectName().toStdString();
            }
            EXPECT_EQ(get<QLineEdit>("FieldCorr").text(), fieldCorr);
        } else if (name == "FrametwoClick") {
            // Either a verdict or exactly one message, never a message beside a verdict.
            const QString result = get<QLineEdit>("Result").text();
            const bool verdict = result == "Legible" || result == "Not Legible";
            EXPECT_EQ(sink.shown - shownBefore, verdict ? 0 : 1) << "Result: " << result.toStdString();
            verdicts += verdict ? 1 : 0;
            return;
        }
        EXPECT_EQ(sink.shown, shownBefore) << name;
    }

    OneBoxAtATime sink;
    Form1 form{&sink};
    QComboBox& ease = get<QComboBox>("EaseOfRead");
    std::mt19937 rng;
    std::set<QString> clicked;
    int verdicts = 0;
};

// Qt's own exclusivity once tied the display-type pair to the frame's mode options.
TEST_F(GuiStress, ClickOnTheChosenDisplayTypeKeepsIt) {
    for (const char* name : {"Option2", "Command1", "BackLum2Op", "Back", "Option2"}) {
        click(get(name));
    }
    EXPECT_TRUE(checked("Option2") && checked("BackLum2Op"));
}

TEST_F(GuiStress, TwentyThousandRandomActionsThenExit) {
    const char* fromEnv = std::getenv("VISTREL_STRESS_SEED");
    const auto seed =
        fromEnv != nullptr ? static_cast<std::uint32_t>(std::strtoul(fromEnv, nullptr, 10)) : kDefaultSeed;
    std::cout << "VISTREL_STRESS_SEED=" << seed << std::endl;
    rng.seed(seed);
    QLocale::setDefault(kLocales[pick(kLocales.size())]);
    const QList<QLineEdit*> frameBoxes = get("Frame2").findChildren<QLineEdit*>();
    for (int action = 0; action < kActions; ++action) {
        QElapsedTimer clock;
        clock.start();
        const bool onFrame = get("Frame2").isVisible();
        const std::uint32_t kind = pick(100);
        if (kind < 50) {
            editBox(onFrame ? *frameBoxes[pick(static_cast<std::size_t>(frameBoxes.size()))]
                            : get<QLineEdit>("FieldCorr"));
        } else if (kind < 90 || !onFrame) {
            clickButton(onFrame ? kFrameButtons[pick(kFrameButtons.size())] : kMainButtons[pick(kMainButtons.size())]);
        } else if (kind < 95) { // a whole case, the alternative units left for the calculation to fill in
            for (const char* name : kCaseInputs) {
                get<QLineEdit>(name).setText(number());
            }
            ease.setEditText(ease.itemText(int(pick(8))));
        } else if (kind < 99) {
            pickEase();
        } else {
            QLocale::setDefault(kLocales[pick(kLocales.size())]);
        }
        // Queued behind everything the action posted: its arrival shows that the queue drained.
        bool drained = false;
        QTimer::singleShot(0, &form, [&] { drained = true; });
        QCoreApplication::processEvents();
        EXPECT_TRUE(drained && QApplication::activeModalWidget() == nullptr && !QApplication::activePopupWidget());
        EXPECT_TRUE(form.isVisible() && ease.count() == 8);
        EXPECT_LT(clock.elapsed(), 2000);
        ASSERT_FALSE(HasFailure()) << "action " << action << " of seed " << seed;
    }
    std::cout << verdicts << " verdicts, " << sink.shown << " messages" << std::endl;
    EXPECT_TRUE(verdicts > 0 && sink.shown > 0);
    EXPECT_EQ(clicked.size(), 35U); // every button and option but Exit, and every box

    // Out through Exit, with clicks, keys and more close requests while the window folds up.
    if (get("Frame2").isVisible()) {
        clickButton("Back");
    }
    const QString fieldCorr = get<QLineEdit>("FieldCorr").text();
    const bool option2 = checked("Option2");
    SizeLog fold;
    form.installEventFilter(&fold);
    int meddled = 0;
    QTimer meanwhile;
    QObject::connect(&meanwhile, &QTimer::timeout, [&] {
        QCloseEvent closeBox;
        switch (++meddled % 4) {
        case 0: form.close(); break;
        case 1: QCoreApplication::sendEvent(form.windowHandle(), &closeBox); break;
        case 2: QTest::mouseClick(&get(meddled % 8 == 2 ? "Exit" : "Option2"), Qt::LeftButton); break;
        default: QTest::keyClicks(&get("FieldCorr"), QStringLiteral("9"));
        }
    });
    meanwhile.start(0);
    click(get("Exit"));
    meanwhile.stop();
    EXPECT_GT(meddled, 4);
    EXPECT_TRUE(form.isHidden() && form.isClosing());
    EXPECT_TRUE(get<QLineEdit>("FieldCorr").text() == fieldCorr && checked("Option2") == option2);
    // One fold: nothing grows back, and the width stops at the first step that reaches 2000 twips.
    ASSERT_GT(fold.sizes.size(), 100U);
    for (std::size_t k = 1; k < fold.sizes.size(); ++k) {
        const QSize was = fold.sizes[k - 1];
        EXPECT_TRUE(fold.sizes[k].width() <= was.width() && fold.sizes[k].height() <= was.height() &&
                    was.width() > 2000)
            << "resize " << k;
    }
    EXPECT_LE(fold.sizes.back().width(), 2000);
}

} // namespace
