#pragma once

#include "calc/calculate.h"
#include "calc/number_format.h"

#include <QLocale>
#include <QString>

#include <string>
#include <string_view>

namespace vistrel::ui {

// The engine's number settings for a locale, read from what Qt writes for it.
[[nodiscard]] NumberFormat numberFormatFrom(const QLocale& locale);

// A number written with the point and ASCII digits, rewritten in the locale's symbols.
[[nodiscard]] QString localNumberText(std::string_view pointText, const QLocale& locale);

// Passes messages on with the example of a field correction written the way the locale
// writes numbers, as the box's start text is: the point form may be refused there.
class LocalExamples final : public MessageSink {
  public:
    LocalExamples(MessageSink& next, const QLocale& locale);
    void showMessage(std::string_view text, MessageStyle style) override;

  private:
    MessageSink& next_;
    std::string pointExample_;
    std::string localExample_;
};

} // namespace vistrel::ui
