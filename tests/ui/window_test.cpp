// SPDX-License-Identifier: GPL-3.0-or-later
#include "labels.h"
#include "ui/colours.h"
#include "ui/field_adapter.h"
#include "ui/form1.h"
#include "ui/message_box.h"
#include "ui/regional.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

namespace {

using namespace vistrel::ui;
using vistrel::MessageStyle;

struct RecordingSink final : vistrel::MessageSink {
    std::vector<std::pair<std::string, MessageStyle>> shown;
    void showMessage(std::string_view text, MessageStyle style) override { shown.emplace_back(text, style); }
};

class Window : public testing::Test {
  protected:
    [[nodiscard]] virtual QLocale startLocale() const { return {QLocale::English, QLocale::UnitedStates}; }
    void SetUp() override {
        QLocale::setDefault(startLocale());
        form.emplace(&sink);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&*form));
        // Under a window manager focus arrives only once the window is active.
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&*form));
    }
    void TearDown() override { QLocale::setDefault({QLocale::English, QLocale::UnitedStates}); }

    template <class T = QWidget> T& get(std::string_view name) {
        if (auto* w = form->findChild<T*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())))) {
            return *w;
        }
        throw std::runtime_error("no control " + std::string(name));
    }
    void click(std::initializer_list<const char*> names) { click(std::vector(names)); }
    void click(const std::vector<const char*>& names) {
        for (const char* name : names) {
            QTest::mouseClick(&get<QAbstractButton>(name), Qt::LeftButton);
        }
    }
    QString text(std::string_view name) { return controlText(get(name)); }
    QColor colour(std::string_view name) {
        const bool label = qobject_cast<QLabel*>(&get(name)) != nullptr;
        return get(name).palette().color(label ? QPalette::WindowText : QPalette::Base);
    }
    QString caption(const char* label) { return get<QLabel>(label).text(); }
    bool checked(const char* option) { return get<QRadioButton>(option).isChecked(); }

    // The worked case, typed key by key: externally illuminated display, illuminance mode.
    void typeWorkedCase(const char* reflectance, const char* background) {
        click({"Option1", "Command1", "ILL2Op"});
        const std::array<const char*, 14> typed{"ILLLUX2",   "1076", "LetterTrans2", reflectance, "BackTrans2",
                                                background,  "Age",  "40",           "LetterHT2", "6",
                                                "ViewDist2", "750",  "LHSW",         "7"};
        for (std::size_t k = 0; k < typed.size(); k += 2) {
            QTest::keyClicks(&get(typed[k]), QString::fromUtf8(typed[k + 1]));
        }
        QTest::keyClicks(get<QComboBox>("EaseOfRead").lineEdit(), QStringLiteral("90% confidence"));
        click({"FrametwoClick"});
    }

    RecordingSink sink;
    std::optional<Form1> form;
};

TEST_F(Window, StartsOnTheDisplayTypeScreen) {
    EXPECT_FALSE(get("Frame2").isVisible());
    for (const char* name : {"Option1", "Option2", "SourceID2Op", "ILL2Op", "BackLum2Op"}) {
        EXPECT_FALSE(checked(name)) << name;
    }
    for (const auto& c : controlTable()) {
        if (c.kind == Kind::TextBox || c.kind == Kind::ComboBox) {
            EXPECT_EQ(text(c.name), c.name == "FieldCorr" ? "0.0" : "") << c.name;
        }
    }
    EXPECT_EQ(get<QComboBox>("EaseOfRead").count(), 8);
    EXPECT_EQ(form->focusWidget(), &get("Command1"));
    EXPECT_EQ(form->size(), QSize(797, 723));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
}

TEST_F(Window, LabelsLieBeneathTheOtherControlsAndTheFrameAboveAll) {
    for (QWidget* container : {static_cast<QWidget*>(&*form), &get("Frame2")}) {
        bool aboveLabels = false;
        for (QWidget* child : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const bool label = qobject_cast<QLabel*>(child) != nullptr;
            EXPECT_FALSE(label && aboveLabels) << child->objectName().toStdString();
            aboveLabels = aboveLabels || !label;
            EXPECT_FALSE(child->accessibleName().isEmpty()) << child->objectName().toStdString();
        }
    }
    EXPECT_EQ(form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).last(), &get("Frame2"));
}

struct OkCase {
    const char *label, *option;
    bool shows;
    const char *heading, *letter, *background;
};
void PrintTo(const OkCase& c, std::ostream* os) { *os << c.label; }
class WindowOk : public Window, public testing::WithParamInterface<OkCase> {};

TEST_P(WindowOk, ShowsTheCalculationScreenWordedForTheDisplayType) {
    const OkCase& c = GetParam();
    if (*c.option != '\0') {
        click({c.option});
    }
    click({"Command1"});
    EXPECT_EQ(get("Frame2").isVisible(), c.shows);
    EXPECT_EQ(caption("Label42"), c.heading);
    EXPECT_EQ(caption("Label63"), c.letter);
    EXPECT_EQ(caption("Label64"), c.background);
    EXPECT_EQ(get("Label64").accessibleName(), c.background);
}

INSTANTIATE_TEST_SUITE_P(DisplayTypes, WindowOk,
                         testing::Values(OkCase{"None", "", false, "Backlit Display", "Letter Transmittance",
                                                "Background Transmittance"},
                                         OkCase{"Externally", "Option1", true, "Externally Illuminated Display",
                                                "Letter Reflectance", "Background Reflectance"},
                                         OkCase{"Backlit", "Option2", true, "Backlit Display", "Letter Transmittance",
                                                "Background Transmittance"}),
                         ByLabel());

// The control that holds the keyboard focus, by its name in the window.
QString focusedControl() {
    for (QWidget* w = QApplication::focusWidget(); w != nullptr; w = w->parentWidget()) {
        if (findControl(w->objectName().toStdString()) != nullptr) {
            return w->objectName();
        }
    }
    return {};
}

struct TabCase {
    const char* label;
    std::vector<const char*> clicks;
    Container screen;
};
void PrintTo(const TabCase& c, std::ostream* os) { *os << c.label; }
class WindowTab : public Window, public testing::WithParamInterface<TabCase> {};

// Tab walks the screen in view in the order of the tab places, and nothing else. A group of
// option buttons is one stop, as on every desktop; the arrow keys move within it.
TEST_P(WindowTab, CyclesThroughTheScreenInViewOnly) {
    click(GetParam().clicks);
    std::vector<const ControlSpec*> stops;
    for (const ControlSpec& c : controlTable()) {
        const bool takesKeys = c.kind != Kind::Label && c.kind != Kind::Line && c.kind != Kind::Frame;
        if (takesKeys && c.in == GetParam().screen) {
            stops.push_back(&c);
        }
    }
    std::sort(stops.begin(), stops.end(), [](auto* x, auto* y) { return x->tab < y->tab; });
    std::vector<const ControlSpec*> expected;
    for (const ControlSpec* c : stops) {
        if (expected.empty() || c->kind != Kind::OptionButton || expected.back()->kind != Kind::OptionButton) {
            expected.push_back(c);
        }
    }
    QStringList walked{focusedControl()};
    for (std::size_t k = 0; k < expected.size(); ++k) {
        QTest::keyClick(form->windowHandle(), Qt::Key_Tab);
        walked.append(focusedControl());
    }
    QStringList wanted;
    for (std::size_t k = 0; k <= expected.size(); ++k) {
        wanted.append(QString::fromUtf8(expected[k % expected.size()]->name.data()));
    }
    EXPECT_EQ(walked.join(u' ').toStdString(), wanted.join(u' ').toStdString());
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowTab,
                         testing::Values(TabCase{"AtStart", {}, Container::Form1},
                                         TabCase{"AfterOk", {"Option1", "Command1"}, Container::Frame2},
                                         TabCase{"AfterBack", {"Option2", "Command1", "Back"}, Container::Form1}),
                         ByLabel());

// Typing and Space at every stop of the calculation screen's Tab cycle: the covered Exit and
// FieldCorr, among others, must never see them.
TEST_F(Window, KeysOnTheCalculationScreenNeverReachTheCoveredControls) {
    click({"Option1", "Command1"});
    for (int k = 0; k < 40 && get("Frame2").isVisible(); ++k) {
        for (const char key : {'5', '-'}) {
            QTest::keyClick(form->windowHandle(), key);
        }
        if (focusedControl() != "Back") {
            QTest::keyClick(form->windowHandle(), Qt::Key_Space);
        }
        QTest::keyClick(form->windowHandle(), Qt::Key_Tab);
    }
    EXPECT_TRUE(form->isVisible() && !form->isClosing());
    EXPECT_TRUE(get("Frame2").isVisible());
    EXPECT_EQ(text("FieldCorr"), "0.0");
    EXPECT_TRUE(checked("Option1") && !checked("Option2"));
    EXPECT_EQ(caption("Label42"), "Externally Illuminated Display");
}

TEST_F(Window, BackKeepsEverythingForTheNextOk) {
    click({"Option1", "Command1", "ILL2Op"});
    get<QLineEdit>("Age").setText(QStringLiteral("40"));
    click({"Back"});
    EXPECT_FALSE(get("Frame2").isVisible());
    click({"Option2", "Command1"});
    EXPECT_TRUE(get("Frame2").isVisible());
    EXPECT_EQ(caption("Label63"), "Letter Transmittance");
    EXPECT_EQ(text("Age"), "40");
    EXPECT_TRUE(checked("ILL2Op"));
    EXPECT_EQ(colour("Label54"), colourOf(kGrey));
}

struct ModeCase {
    const char* label;
    std::vector<const char*> clicks;
    std::array<bool, 4> normal; // source, illuminance, reflectance, luminance
};
void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.label; }
class WindowModes : public Window, public testing::WithParamInterface<ModeCase> {};

TEST_P(WindowModes, GreyExactlyTheGroupsTheModeDoesNotUse) {
    static const std::array<std::vector<const char*>, 4> groups{{
        {"Label54", "SourceID2", "Label53", "Label52", "DistSinM2", "Label51", "Label50", "DistSinFT2", "Label49",
         "Label48", "DistSinIn2", "Label47"},
        {"Label56", "ILLLUX2", "Label57", "Label55", "ILLFC2", "Label58"},
        {"LetterTrans2", "Label64", "BackTrans2", "Label63"},
        {"Label10", "BackLumCDM", "BackLum", "Label40", "Label41", "Label38", "Label26", "Label11", "Label69",
         "Label45", "Label39", "LetterLumCDM", "LetterLum"},
    }};
    click({"Option1", "Command1"});
    for (const char* name : GetParam().clicks) {
        click({name});
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
        for (const char* name : groups[g]) {
            const QColor normal = colourOf(qobject_cast<QLabel*>(&get(name)) ? kButtonText : kWindowBackground);
            EXPECT_EQ(colour(name), GetParam().normal[g] ? normal : colourOf(kGrey)) << name;
        }
    }
    // Outside the groups, the design colours stay.
    EXPECT_EQ(colour("Label13"), colourOf(0x000000C0));
    EXPECT_EQ(colour("Age"), colourOf(kWindowBackground));
    EXPECT_TRUE(checked(GetParam().clicks.back()));
    EXPECT_EQ(checked("BackLum2Op"), GetParam().clicks.back() == std::string_view("BackLum2Op"));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, WindowModes,
    testing::Values(ModeCase{"Source", {"SourceID2Op"}, {true, false, true, false}},
                    ModeCase{"Illuminance", {"ILL2Op"}, {false, true, true, false}},
                    ModeCase{"Luminance", {"BackLum2Op"}, {false, false, false, true}},
                    ModeCase{"LuminanceThenSource", {"BackLum2Op", "SourceID2Op"}, {true, false, true, false}},
                    ModeCase{"SameTwice", {"ILL2Op", "ILL2Op"}, {false, true, true, false}}),
    ByLabel());

TEST_F(Window, ClearEmptiesTheFieldsAndKeepsTheRest) {
    click({"Option1", "Command1", "ILL2Op"});
    for (const auto& c : controlTable()) {
        if (c.kind == Kind::TextBox) {
            get<QLineEdit>(c.name).setText(QStringLiteral("1.5"));
        }
    }
    get<QComboBox>("EaseOfRead").setCurrentIndex(1);
    click({"Clear"});
    for (const auto& c : controlTable()) {
        if ((c.kind == Kind::TextBox || c.kind == Kind::ComboBox) && c.name != "FieldCorr") {
            EXPECT_EQ(text(c.name), "") << c.name;
        }
    }
    EXPECT_EQ(text("FieldCorr"), "1.5");
    EXPECT_EQ(get<QComboBox>("EaseOfRead").count(), 8);
    EXPECT_EQ(get<QComboBox>("EaseOfRead").currentIndex(), -1);
    EXPECT_EQ(colour("SourceID2"), colourOf(kGrey));
    EXPECT_TRUE(checked("ILL2Op"));
    click({"FrametwoClick"});
    EXPECT_EQ(sink.shown, (decltype(sink.shown){{std::string(vistrel::kFillAllMessage), MessageStyle::Critical}}));
}

struct WorkedCase {
    const char* label;
    QLocale locale;
    const char *reflectance, *background;
    const char* outputs; // ILLFC2 LogBack ActualCon LetterSize StrokeSize ThresholdCon LogThresholdCon LogActualCon
};
void PrintTo(const WorkedCase& c, std::ostream* os) { *os << c.label; }
class WindowWorkedCase : public Window, public testing::WithParamInterface<WorkedCase> {
    [[nodiscard]] QLocale startLocale() const override { return GetParam().locale; }
};

TEST_P(WindowWorkedCase, TypedIntoTheWindowReadsLegible) {
    typeWorkedCase(GetParam().reflectance, GetParam().background);
    EXPECT_TRUE(sink.shown.empty());
    QStringList outputs;
    for (const char* name : {"ILLFC2", "LogBack", "ActualCon", "LetterSize", "StrokeSize", "ThresholdCon",
                             "LogThresholdCon", "LogActualCon"}) {
        outputs.append(text(name));
    }
    EXPECT_EQ(outputs.join(QLatin1Char(' ')), QString::fromUtf8(GetParam().outputs));
    EXPECT_EQ(text("ILLLUX2"), "1076");
    EXPECT_EQ(text("Result"), "Legible");
}

// In comma locales the design's field correction must read as zero too.
INSTANTIATE_TEST_SUITE_P(Locales, WindowWorkedCase,
                         testing::Values(WorkedCase{"UsEnglish",
                                                    {QLocale::English, QLocale::UnitedStates},
                                                    "0.8",
                                                    "0.2",
                                                    "100.000 1.301 3.000 27.501 3.929 0.266 -0.575 0.477"},
                                         WorkedCase{"Swedish",
                                                    {QLocale::Swedish, QLocale::Sweden},
                                                    "0,8",
                                                    "0,2",
                                                    "100,000 1,301 3,000 27,501 3,929 0,266 \u22120,575 0,477"}),
                         ByLabel());

struct ExampleCase {
    const char* label;
    QLocale locale;
    const char *fieldCorr, *message;
};
void PrintTo(const ExampleCase& c, std::ostream* os) { *os << c.label; }
class WindowFieldCorrExample : public Window, public testing::WithParamInterface<ExampleCase> {
    [[nodiscard]] QLocale startLocale() const override { return GetParam().locale; }
};

// The hint's example must be a number the user's settings accept, like the box's start text.
TEST_P(WindowFieldCorrExample, IsWrittenInTheUsersNumberFormat) {
    click({"Option1", "Command1", "ILL2Op"});
    for (const auto& [name, value] : {std::pair{"ILLLUX2", "1076"},
                                      {"LetterTrans2", "0.8"},
                                      {"BackTrans2", "0.2"},
                                      {"Age", "40"},
                                      {"LetterHT2", "6"},
                                      {"ViewDist2", "750"},
                                      {"LHSW", "7"}}) {
        get<QLineEdit>(name).setText(localNumberText(value, QLocale()));
    }
    get<QComboBox>("EaseOfRead").setCurrentIndex(1);
    get<QLineEdit>("FieldCorr").setText(QString::fromUtf8(GetParam().fieldCorr));
    click({"FrametwoClick"});
    ASSERT_EQ(sink.shown.size(), 1U);
    EXPECT_EQ(sink.shown[0].first, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, WindowFieldCorrExample,
    testing::Values(ExampleCase{"UsEnglishEmpty",
                                {QLocale::English, QLocale::UnitedStates},
                                "",
                                "Enter the Field Correction. Press Back and enter it in log units, for example 0.0."},
                    ExampleCase{"GermanEmpty",
                                {QLocale::German, QLocale::Germany},
                                "",
                                "Enter the Field Correction. Press Back and enter it in log units, for example 0,0."},
                    ExampleCase{"ArabicNotANumber",
                                {QLocale::Arabic, QLocale::Egypt},
                                "0.0",
                                "Field Correction is not a number. Press Back and enter it in log units, for example "
                                "\u0660\u066B\u0660."}),
    ByLabel());

TEST_F(Window, MessageBoxesAreModalTitledAndOfferOnlyOk) {
    for (const auto& [style, icon] : {std::pair{MessageStyle::Critical, QMessageBox::Critical},
                                      {MessageStyle::Exclamation, QMessageBox::Warning}}) {
        std::optional<QMessageBox::Icon> shownIcon;
        QTimer::singleShot(0, &*form, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), "Vistrel New");
            EXPECT_EQ(box->text(), "<b>All</b> boxes"); // plain text, never markup
            EXPECT_EQ(box->buttons().size(), 1);
            EXPECT_TRUE(box->isModal());
            shownIcon = box->icon();
            box->button(QMessageBox::Ok)->click();
        });
        DialogMessageSink(&*form).showMessage("<b>All</b> boxes", style);
        EXPECT_EQ(shownIcon, icon);
    }
}

// Every frame painted while the window folds up, as the user sees it.
struct PaintedFrames final : QObject {
    std::vector<QRect> frames;
    bool eventFilter(QObject* target, QEvent* event) override {
        if (event->type() == QEvent::Paint && static_cast<QWidget*>(target)->isWindow()) {
            frames.push_back(static_cast<QWidget*>(target)->frameGeometry());
        }
        return false;
    }
};

// Where the platform window stands as each new size is asked of it, against where the fold last put
// it: a request built on a position that a late report had set would move the window back.
struct ResizeOrigins final : QObject {
    QPoint put;
    int resizes = 0;
    std::vector<QPoint> elsewhere;
    explicit ResizeOrigins(QPoint start) : put(start) {}
    bool eventFilter(QObject* target, QEvent* event) override {
        if (event->spontaneous()) { // a report, not a request
            return false;
        }
        const QPoint at = static_cast<QWidget*>(target)->windowHandle()->geometry().topLeft();
        if (event->type() == QEvent::Move) {
            put = at;
        } else if (event->type() == QEvent::Resize) {
            ++resizes;
            if (at != put) {
                elsewhere.push_back(at);
            }
        }
        return false;
    }
};

TEST_F(Window, ExitFoldsTheWindowUpIgnoringInputMeanwhile) {
    const QRect start = form->frameGeometry();
    const QRect screen = form->screen()->geometry();
    bool closing = false;
    bool platformWindowKept = false;
    QTimer::singleShot(0, &*form, [&] {
        closing = form->isClosing();
        QTest::keyClicks(&get("FieldCorr"), QStringLiteral("9"));
        QTest::mouseClick(&get<QAbstractButton>("Option1"), Qt::LeftButton);
        QCloseEvent again;
        QCoreApplication::sendEvent(form->windowHandle(), &again);
        platformWindowKept = form->windowHandle()->handle() != nullptr;
    });
    PaintedFrames painted;
    form->installEventFilter(&painted);
    ResizeOrigins origins(form->windowHandle()->geometry().topLeft());
    form->installEventFilter(&origins);
    click({"Exit"});
    EXPECT_TRUE(closing);
    EXPECT_TRUE(platformWindowKept);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(text("FieldCorr"), "0.0");
    EXPECT_FALSE(checked("Option1"));

    // Each frame centred on the axis that shrinks, never taller than the one before; a pixel of
    // slack for the rounding between twips and pixels.
    ASSERT_GT(painted.frames.size(), 100U);
    for (std::size_t k = 1; k < painted.frames.size(); ++k) {
        const QRect& f = painted.frames[k];
        EXPECT_LE(f.height(), painted.frames[k - 1].height()) << "frame " << k;
        if (f.width() == start.width() && f.height() < start.height() && f.height() * kTwipsPerPixel > 500) {
            EXPECT_NEAR(f.y(), (screen.height() - f.height()) / 2, 1) << "frame " << k;
        } else if (f.width() < start.width()) {
            EXPECT_NEAR(f.x(), (screen.width() - f.width()) / 2, 1) << "frame " << k;
        }
    }
    EXPECT_GT(origins.resizes, 100);
    EXPECT_TRUE(origins.elsewhere.empty()) << origins.elsewhere.size() << " sizes asked for from elsewhere";
    // The bar keeps the top of the last vertical step, whose height lay between 400 and 500 twips;
    // its width stops at the first step to reach 2000 twips.
    const QRect bar = form->frameGeometry();
    EXPECT_LT(bar.height(), start.height() / 10);
    EXPECT_GE(bar.y(), (screen.height() * kTwipsPerPixel - 500) / 2 / kTwipsPerPixel - 1);
    EXPECT_LE(bar.y(), (screen.height() * kTwipsPerPixel - 400) / 2 / kTwipsPerPixel + 1);
    EXPECT_LE(bar.width() * kTwipsPerPixel, 2000);
    EXPECT_GT(bar.width() * kTwipsPerPixel, 2000 - 100 - kTwipsPerPixel);
    EXPECT_NEAR(bar.center().x(), screen.center().x(), 1);
}

} // namespace
