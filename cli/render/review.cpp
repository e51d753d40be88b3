// SPDX-License-Identifier: GPL-3.0-or-later
#include "review.h"
#include "report.h"

#include "notes_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <ctime>

namespace vistrel::cli {

namespace {

// Styles the browser and the PDF helper both read; the PDF helper ignores
// what its layout cannot do (media queries among them). A plot is at most
// 1000 pixels wide, its own width, so that its text shows at the size the
// plotter laid it out.
constexpr std::string_view kStyle = R"css(
body{font-family:"Liberation Sans",Arial,Helvetica,sans-serif;color:#1b1b1b;line-height:1.4;max-width:68rem;margin:0 auto;padding:1rem 1.2rem}
h1{font-size:1.9rem;margin:.2rem 0}
h2{font-size:1.45rem;margin:1.6rem 0 .4rem;border-bottom:2px solid #1b1b1b}
h3{font-size:1.15rem;margin:1.2rem 0 .3rem}
p.meta{color:#505050;margin:.2rem 0 1rem}
p.verdict{font-size:2.6rem;font-weight:bold;margin:.2rem 0}
p.margin{font-size:1.6rem;margin:0 0 .4rem}
.legible{color:#17692f}
.not-legible{color:#a4161a}
.no-verdict{color:#8a4b00}
.fails-required{color:#9c4a00}
p.failed{font-weight:bold;color:#a4161a}
p.message{border-left:6px solid #a4161a;background:#fdeeee;padding:.5rem .7rem;font-weight:bold}
div.wrap{overflow-x:auto}
table{border-collapse:collapse;margin:.4rem 0 .8rem;min-width:50%}
caption{text-align:left;font-weight:bold;padding:.2rem 0}
th,td{border:1px solid #b9bec4;padding:.25rem .5rem;text-align:left;vertical-align:top}
th{background:#e9edf1}
td.num,td.id{white-space:nowrap}
td.num{text-align:right}
td.pass{color:#17692f}
td.fail{color:#a4161a;font-weight:bold}
td.worst{background:#fde3e3;font-weight:bold}
td.fill{min-width:8rem;height:1.4em}
figure{margin:.8rem 0}
figure svg{display:block;width:100%;height:auto;max-width:62.5rem}
figcaption{font-style:italic;color:#404040}
p.none{color:#606060;font-style:italic}
section.method p{margin:.3rem 0 .6rem}
@media (max-width:40rem){body{padding:.5rem .6rem;font-size:15px}p.verdict{font-size:2rem}h1{font-size:1.5rem}table{min-width:100%}
table.cards thead{display:none}table.cards tr{display:block;border:1px solid #b9bec4;margin:0 0 .5rem}
table.cards td{display:block;border:none;text-align:left;white-space:normal;padding:.1rem .5rem}
table.cards td::before{content:attr(data-label) ": ";font-weight:bold;color:#404040}}
@media print{@page{size:A4;margin:14mm}body{max-width:none;padding:0;font-size:10.5pt}div.wrap{overflow:visible}
section.next{break-before:page}figure,tr,p.verdict{break-inside:avoid}h2,h3{break-after:avoid}}
)css";

std::string_view verdictClass(Verdict verdict) {
    switch (verdict) {
    case Verdict::Legible: return "legible";
    case Verdict::NotLegible: return "not-legible";
    case Verdict::None: break;
    }
    return "no-verdict";
}

std::string verdictText(Verdict verdict) {
    switch (verdict) {
    case Verdict::Legible: return std::string(kLegible);
    case Verdict::NotLegible: return std::string(kNotLegible);
    case Verdict::None: break;
    }
    return "No verdict";
}

// What the page writes: the model and the numbers' format.
struct Writer {
    const NumberText& numbers;

    [[nodiscard]] std::string shown(const std::optional<double>& v) const {
        return v ? numbers.threeDecimals(*v) : std::string();
    }
};

// An input or output as the window shows it.
struct ReviewQuantity {
    std::string caption;
    std::string unit; // empty where there is none
    std::string value;
};

std::vector<ReviewQuantity> shownFields(const std::vector<ReviewField>& fields) {
    std::vector<ReviewQuantity> out;
    out.reserve(fields.size() + 1);
    for (const ReviewField& f : fields) {
        const FieldInfo& info = fieldInfo(f.field);
        out.push_back({std::string(info.caption), std::string(info.unit), f.text});
    }
    return out;
}

class Page {
  public:
    void raw(std::string_view markup) { out_ += markup; }
    void text(std::string_view text) { out_ += escapeHtml(text); }
    // <tag class="cls">text</tag>
    void element(std::string_view tag, std::string_view cls, std::string_view text) {
        out_ += "<";
        out_ += tag;
        classAttribute(cls);
        this->text(text);
        out_ += "</";
        out_ += tag;
        out_ += ">\n";
    }
    // A cell that names its column, for the stacked layout of narrow screens.
    void cell(std::string_view label, std::string_view cls, std::string_view text) {
        out_ += "<td data-label=\"";
        out_ += escapeHtml(label);
        out_ += "\"";
        classAttribute(cls);
        this->text(text);
        out_ += "</td>\n";
    }
    void headerRow(std::initializer_list<std::string_view> headers) {
        raw("<thead><tr>");
        for (const std::string_view h : headers) {
            element("th", "", h);
        }
        raw("</tr></thead>\n<tbody>\n");
    }
    // With each column's share of the width, in percent: paper layouts
    // otherwise share it out evenly.
    void headerRow(std::initializer_list<std::pair<std::string_view, int>> headers) {
        raw("<thead><tr>");
        for (const auto& [h, percent] : headers) {
            out_.append("<th width=\"").append(std::to_string(percent)).append("%\">");
            text(h);
            out_ += "</th>";
        }
        raw("</tr></thead>\n<tbody>\n");
    }
    std::string take() { return std::move(out_); }

  private:
    // Ends an opening tag, with its class when there is one.
    void classAttribute(std::string_view cls) {
        if (!cls.empty()) {
            out_.append(" class=\"").append(cls).append("\"");
        }
        out_ += ">";
    }

    std::string out_;
};

std::string orDash(std::string_view text) { return text.empty() ? "\u2013" : std::string(text); }

// Numbers line up on the right; words read from the left.
std::string_view valueClass(std::string_view text) {
    const bool number =
        !text.empty() && (std::isdigit(static_cast<unsigned char>(text[0])) != 0 || text[0] == '-' ||
                          text.starts_with("\u2265") || text.starts_with("\u2264") || text.starts_with("\u2013"));
    return number ? "num" : "";
}

void quantities(Page& page, std::string_view heading, const std::vector<ReviewQuantity>& list, bool skipEmpty) {
    page.raw("<div class=\"wrap\"><table>\n");
    page.headerRow({heading == "Inputs" ? "Input" : "Result", "Unit", "Value"});
    for (const ReviewQuantity& q : list) {
        if (skipEmpty && q.value.empty()) {
            continue;
        }
        page.raw("<tr>");
        page.element("td", "", q.caption);
        page.element("td", "", q.unit);
        page.element("td", valueClass(orDash(q.value)), orDash(q.value));
        page.raw("</tr>\n");
    }
    page.raw("</tbody></table></div>\n");
}

void summary(Page& page, const Writer& w, const ReviewDesign& d) {
    const Overall o = overall(d);
    page.element("p", std::string("verdict ") + std::string(headlineClass(o.standing)), headline(o));
    if (d.margin) {
        page.element("p", "margin", "Margin " + w.shown(d.margin) + " log units");
    }
    if (const std::string failed = failedChecksSummary(d); !failed.empty()) {
        page.element("p", "failed", "Failed checks: " + failed);
    }
}

void standards(Page& page, const Writer& w, const ReviewDesign& d) {
    page.element("h3", "", "Standards");
    if (d.profiles.empty()) {
        page.element("p", "none",
                     "No standards profile was applied: the design was judged by the model alone. Add one with "
                     "--profile text-legibility (or another built-in profile, or a .toml file of your own).");
    }
    for (const ReviewProfile& p : d.profiles) {
        page.raw("<div class=\"wrap\"><table class=\"cards\">\n");
        page.element("caption", "", p.title.empty() ? p.name : p.title + " (" + p.name + ")");
        page.headerRow({std::pair<std::string_view, int>{"Requirement id", 16},
                        {"Quantity", 13},
                        {"Value", 7},
                        {"Limit", 10},
                        {"Margin (value \u2212 limit)", 8},
                        {"Result", 11},
                        {"Level", 9},
                        {"Source", 26}});
        for (const ReviewCheck& c : p.checks) {
            std::string limit;
            switch (c.kind) {
            case CriterionKind::Minimum: limit = c.low ? std::string("\u2265 ") + w.shown(c.low) : ""; break;
            case CriterionKind::Maximum: limit = c.high ? std::string("\u2264 ") + w.shown(c.high) : ""; break;
            case CriterionKind::Range: limit = c.low && c.high ? w.shown(c.low) + " to " + w.shown(c.high) : ""; break;
            }
            if (c.target && !limit.empty()) {
                limit = "target " + w.shown(c.target) + ", accepted " + limit;
            }
            page.raw("<tr>");
            page.cell("Requirement id", "id", c.id);
            page.cell("Quantity", "", kQuantities[c.quantity].name);
            page.cell("Value", "num", orDash(w.shown(c.value)));
            page.cell("Limit", "num", orDash(limit));
            page.cell("Margin", "num", orDash(w.shown(c.margin)));
            const bool pass = c.status == CheckStatus::Pass;
            const bool fail = c.status == CheckStatus::Fail;
            page.cell("Result", pass ? "pass" : (fail ? "fail" : ""),
                      c.note.empty() || pass || fail ? std::string(statusText(c.status)) : c.note);
            page.cell("Level", "", levelText(c.level));
            page.cell("Source", "", citationText(c.source, c.withdrawn, c.supersededBy));
            page.raw("</tr>\n");
        }
        page.raw("</tbody></table></div>\n");
    }
}

void answers(Page& page, const Writer& w, const ReviewDesign& d) {
    page.element("h3", "", "What it would take");
    if (d.answers.empty()) {
        page.element("p", "none", "No inverse answers were computed.");
        return;
    }
    page.raw("<div class=\"wrap\"><table class=\"cards\">\n");
    page.headerRow({"Question", "Answer", "Value", "Unit"});
    for (const InverseAnswer& inverse : d.answers) {
        const ReviewAnswer a = reviewAnswer(std::string(inverseQuestion(inverse.column)),
                                            *solveTarget(kColumns[inverse.column].name), inverse.solved, w.numbers);
        page.raw("<tr>");
        page.cell("Question", "", a.question);
        page.cell("Answer", "", a.sentence);
        page.cell("Value", "num", orDash(a.value));
        page.cell("Unit", "", a.unit);
        page.raw("</tr>\n");
    }
    page.raw("</tbody></table></div>\n");
}

void figure(Page& page, std::string_view caption, std::string_view svg) {
    const std::string clean = sanitizedSvg(svg);
    if (clean.empty()) {
        return;
    }
    page.raw("<figure>");
    page.raw(clean);
    page.element("figcaption", "", caption);
    page.raw("</figure>\n");
}

void plots(Page& page, const ReviewArt& art) {
    page.element("h3", "", "Plots");
    if (art.plots.empty()) {
        page.element("p", "none", art.plotsNote.empty() ? "No plots were drawn." : art.plotsNote);
    }
    for (const ReviewPlot& p : art.plots) {
        figure(page, p.caption, p.svg);
    }
}

void conditions(Page& page, const Writer& w, const ReviewDesign& d) {
    page.element("h3", "", "Conditions");
    if (!d.conditions) {
        page.element("p", "none", "No conditions were evaluated.");
        return;
    }
    const ReviewGrid& g = *d.conditions;
    page.raw("<div class=\"wrap\"><table class=\"grid\">\n");
    page.element("caption", "", "Verdict and margin (log units) under each condition; the worst is marked");
    page.raw("<thead><tr>");
    page.element("th", "", "Design");
    for (const std::string& c : g.columns) {
        page.element("th", "", c);
    }
    page.raw("</tr></thead>\n<tbody>\n");
    for (const ReviewGrid::Row& row : g.rows) {
        page.raw("<tr>");
        page.element("th", "", row.label);
        for (const ReviewGridCell& cell : row.cells) {
            const std::string text = verdictText(cell.verdict) + (cell.margin ? " (" + w.shown(cell.margin) + ")" : "");
            page.element("td", cell.worst ? "worst" : "", cell.worst ? text + " \u2013 worst" : text);
        }
        page.raw("</tr>\n");
    }
    page.raw("</tbody></table></div>\n");
    if (g.glare.size() == g.columns.size()) {
        // The veil each condition's glare lays; a design's own glare is with its inputs too.
        page.raw("<div class=\"wrap\"><table>\n");
        page.element("caption", "", "Glare inside the eye under each condition; an empty eye_pigment is taken as 0.5");
        page.headerRow({"Condition", "glare_lux", "glare_angle_deg", "eye_pigment", "glare_veil_cdm2, cd/m\u00b2"});
        for (std::size_t k = 0; k < g.columns.size(); ++k) {
            page.raw("<tr>");
            page.element("th", "", g.columns[k]);
            for (const std::string& text : g.glare[k]) {
                page.element("td", "num", text);
            }
            page.raw("</tr>\n");
        }
        page.raw("</tbody></table></div>\n");
    }
    if (g.eyePoints.empty()) {
        return;
    }
    page.raw("<div class=\"wrap\"><table class=\"grid\">\n");
    page.element("caption", "", "The eye points each condition is seen from");
    page.raw("<thead><tr>");
    page.element("th", "", "Eye point");
    for (const ReviewField& f : g.eyePoints.front().view) {
        const FieldInfo& info = fieldInfo(f.field);
        page.element("th", "", std::string(info.caption) + (info.unit.empty() ? "" : ", " + std::string(info.unit)));
    }
    page.raw("</tr></thead>\n<tbody>\n");
    for (const ReviewEyePoint& eye : g.eyePoints) {
        page.raw("<tr>");
        page.element("th", "", eye.name);
        for (const ReviewField& f : eye.view) {
            page.element("td", "num", f.text);
        }
        page.raw("</tr>\n");
    }
    page.raw("</tbody></table></div>\n");
}

// The tolerance section's texts.
struct ToleranceTexts {
    std::string samples;
    std::string probability; // of Legible, as a percentage text
    std::string intervalLow;
    std::string intervalHigh;
    std::string p5, p50, p95;       // margin_log; empty without verdicts
    std::vector<std::string> notes; // truncations, samples ending in messages
    std::vector<std::pair<std::string, std::string>> worstCorner;
    std::string worstMargin;
    std::string worstVerdict;
    std::string worstFoundBy;
};

ToleranceTexts toleranceTexts(const Writer& w, const ReviewTolerance& r) {
    const MonteCarloResult& mc = r.mc;
    const WorstCase& worst = r.worst;
    ToleranceTexts t;
    const auto percent = [&w](double p) { return w.numbers.threeDecimals(100.0 * p); };
    t.samples = std::to_string(mc.samples);
    t.probability = percent(mc.probability);
    t.intervalLow = percent(mc.interval.low);
    t.intervalHigh = percent(mc.interval.high);
    t.p5 = w.shown(mc.p5);
    t.p50 = w.shown(mc.p50);
    t.p95 = w.shown(mc.p95);
    for (const auto& [message, count] : mc.messages) {
        t.notes.push_back(std::to_string(count) + " samples ended in the message: " + message);
    }
    if (worst.skipped) {
        t.notes.emplace_back("Too many inputs vary for every corner to be evaluated; the worst case is searched "
                             "from the worst sample alone.");
    }
    for (std::size_t k = 0; k < worst.values.size() && k < r.columns.size(); ++k) {
        t.worstCorner.emplace_back(kColumns[r.columns[k]].name, w.numbers.plain(worst.values[k]));
    }
    t.worstMargin = w.shown(worst.margin);
    t.worstVerdict = worst.values.empty() ? std::string() : std::string(worst.legible ? kLegible : kNotLegible);
    t.worstFoundBy = worst.foundBy;
    return t;
}

void tolerance(Page& page, const Writer& w, const ReviewDesign& d, const ReviewArt& art) {
    page.element("h3", "", "Tolerance");
    if (!d.tolerance) {
        page.element("p", "none", "No tolerances were given.");
        return;
    }
    const ToleranceTexts t = toleranceTexts(w, *d.tolerance);
    page.raw("<div class=\"wrap\"><table>\n");
    page.headerRow({"Quantity", "Value"});
    const auto row = [&page](std::string_view name, std::string_view value) {
        page.raw("<tr>");
        page.element("td", "", name);
        page.element("td", "num", orDash(value));
        page.raw("</tr>\n");
    };
    row("Samples", t.samples);
    row("Probability of Legible (%)", t.probability);
    row("95% interval (%)", t.intervalLow + " to " + t.intervalHigh);
    row("Margin, 5th percentile (log units)", t.p5);
    row("Margin, median (log units)", t.p50);
    row("Margin, 95th percentile (log units)", t.p95);
    page.raw("</tbody></table></div>\n");
    for (const std::string& note : t.notes) {
        page.element("p", "", note);
    }
    if (!t.worstCorner.empty()) {
        page.raw("<div class=\"wrap\"><table>\n");
        page.element("caption", "",
                     "Worst case (found by " + t.worstFoundBy + "): margin " + t.worstMargin + " log units, " +
                         t.worstVerdict);
        page.headerRow({"Input", "Value"});
        for (const auto& [input, value] : t.worstCorner) {
            row(input, value);
        }
        page.raw("</tbody></table></div>\n");
    }
    if (!art.tornadoSvg.empty()) {
        figure(page, "Change of the margin as each input alone goes from its low to its high value", art.tornadoSvg);
    }
}

// Said at each place the missing reflectance shapes: the answers, the ambient plot and the grid.
constexpr std::string_view kNoDaylight =
    "Ambient light has no effect on this design: its display reflectance is 0 or not given (and taken as 0), so "
    "ambient light adds no veil. The contrast against ambient illuminance is flat, the maximum ambient illuminance "
    "reads legible "
    "everywhere, and conditions that differ only in ambient light (night, direct sun) give the same result. Give "
    "display_reflectance to judge the design in daylight.";
constexpr std::string_view kNoDaylightAnswer = "The maximum ambient illuminance has no limit here only because the "
                                               "display reflectance is 0 or not given: ambient light "
                                               "adds no veil.";
constexpr std::string_view kNoDaylightPlot = "The contrast against ambient illuminance is flat only because the "
                                             "display reflectance is 0 or not given: ambient light "
                                             "adds no veil.";
constexpr std::string_view kNoDaylightGrid =
    "Conditions that differ only in ambient light give the same result here only because the display reflectance "
    "is 0 or not given: ambient light adds no veil.";

// What looks like a slip in the inputs, and the daylight the design cannot feel.
void notes(Page& page, const Writer& w, const ReviewDesign& d) {
    for (const PlausibilityNote& n : d.notes) {
        if (n.kind != NoteKind::AmbientWithoutEffect) { // said once, below, for the whole design
            page.element("p", "message", "Check this input: " + noteText(n, w.numbers));
        }
    }
    if (d.ambientWithoutEffect) {
        page.element("p", "message", kNoDaylight);
    }
}

// Every input the design left empty, and what the calculation took for it.
void assumed(Page& page, const ReviewDesign& d) {
    page.element("h3", "", "Assumptions");
    if (d.assumptions.empty()) {
        page.element("p", "none", "Every input the calculation reads was given.");
        return;
    }
    page.element("p", "", "These inputs were not given; the calculation took the values shown.");
    page.raw("<div class=\"wrap\"><table>\n");
    page.headerRow({"Input", "Column", "Taken as"});
    for (const Assumption& a : d.assumptions) {
        const FieldInfo& f = fieldInfo(*kColumns[a.column].field);
        page.raw("<tr>");
        page.element("td", "", std::string(f.caption) + (f.unit.empty() ? "" : ", " + std::string(f.unit)));
        page.element("td", "", kColumns[a.column].name);
        page.element("td", "num", a.value);
        page.raw("</tr>\n");
    }
    page.raw("</tbody></table></div>\n");
}

// next: a later design, which starts a new page in print.
void design(Page& page, const Writer& w, const ReviewDesign& d, const ReviewArt& art, bool headed, bool next) {
    page.raw(next ? "<section class=\"design next\">\n" : "<section class=\"design\">\n");
    if (headed) {
        page.element("h2", next ? "next" : "", d.name);
    }
    summary(page, w, d);
    for (const std::string& m : d.messages) {
        page.element("p", "message", m);
    }
    notes(page, w, d);
    page.element("h3", "", "Inputs");
    std::vector<ReviewQuantity> inputs = shownFields(d.inputs);
    inputs.insert(inputs.begin(), {"Input mode", "", std::string(modeText(d.mode))});
    quantities(page, "Inputs", inputs, true);
    assumed(page, d);
    page.element("h3", "", "Results");
    std::vector<ReviewQuantity> results = shownFields(d.results);
    results.push_back({"Margin", "log units", w.shown(d.margin)});
    quantities(page, "Results", results, false);
    standards(page, w, d);
    answers(page, w, d);
    if (d.ambientWithoutEffect && !d.answers.empty()) {
        page.element("p", "message", kNoDaylightAnswer);
    }
    plots(page, art);
    if (d.ambientWithoutEffect && !art.plots.empty()) {
        page.element("p", "message", kNoDaylightPlot);
    }
    conditions(page, w, d);
    if (d.ambientWithoutEffect && d.conditions) {
        page.element("p", "message", kNoDaylightGrid);
    }
    tolerance(page, w, d, art);
    page.raw("</section>\n");
}

void overview(Page& page, const Writer& w, const Review& review) {
    page.raw("<div class=\"wrap\"><table class=\"cards\">\n");
    page.element("caption", "", "Summary");
    page.headerRow({"Design", "Overall", "Verdict", "Margin (log units)", "Failed checks"});
    for (const ReviewDesign& d : review.designs) {
        const Overall o = overall(d);
        page.raw("<tr>");
        page.cell("Design", "", d.name);
        page.cell("Overall", headlineClass(o.standing), headline(o));
        page.cell("Verdict", verdictClass(d.verdict), verdictText(d.verdict));
        page.cell("Margin (log units)", "num", orDash(w.shown(d.margin)));
        const std::string failed = failedChecksSummary(d);
        page.cell("Failed checks", "", !failed.empty() ? failed : (d.profiles.empty() ? "\u2013" : "none"));
        page.raw("</tr>\n");
    }
    page.raw("</tbody></table></div>\n");
}

// What a reviewer signs: the document's fields and its revisions; the
// standards tables give each requirement's id and source. What was not given is left blank, to be
// filled in by hand: no date or name is made up.
void paperwork(Page& page, const Review& review) {
    const ReviewMeta& m = review.meta;
    page.raw("<div class=\"wrap\"><table class=\"doc\" width=\"100%\">\n");
    page.element("caption", "", "Document");
    page.raw("<tbody>\n");
    for (const auto& [name, value] : {std::pair{"Document id", &m.docId},
                                      {"Revision", &m.revision},
                                      {"Date", &m.date},
                                      {"Prepared by", &m.preparedBy},
                                      {"Approved by", &m.approvedBy}}) {
        page.raw("<tr><th width=\"25%\">");
        page.text(name);
        page.raw("</th>");
        page.element("td", "fill", *value);
        page.raw("</tr>\n");
    }
    page.raw("</tbody></table></div>\n");

    page.raw("<div class=\"wrap\"><table class=\"cards\" width=\"100%\">\n");
    page.element("caption", "", "Revisions");
    page.headerRow(
        {std::pair<std::string_view, int>{"Revision", 12}, {"Date", 16}, {"Author", 22}, {"Description", 50}});
    const std::vector<ReviewRevision> blank(1);
    for (const ReviewRevision& r : m.revisions.empty() ? blank : m.revisions) {
        page.raw("<tr>");
        page.cell("Revision", "fill", r.revision);
        page.cell("Date", "fill", r.date);
        page.cell("Author", "fill", r.author);
        page.cell("Description", "fill", r.description);
        page.raw("</tr>\n");
    }
    page.raw("</tbody></table></div>\n");
}

// True when a design or a condition of the review has a glare source.
bool anyGlare(const Review& review) {
    return std::any_of(review.designs.begin(), review.designs.end(), [](const ReviewDesign& d) {
        const bool own = std::any_of(d.results.begin(), d.results.end(), [](const ReviewField& f) {
            return f.field == Field::GlareVeilCdm2 && !f.text.empty();
        });
        return own || (d.conditions && std::any_of(d.conditions->glare.begin(), d.conditions->glare.end(),
                                                   [](const auto& texts) { return !texts[3].empty(); }));
    });
}

// True when a design is seen off the display's normal, or from eye points.
bool anySeat(const Review& review) {
    return std::any_of(review.designs.begin(), review.designs.end(), [](const ReviewDesign& d) {
        const bool own = std::any_of(d.results.begin(), d.results.end(), [](const ReviewField& f) {
            return f.field == Field::ApparentHeightMm && !f.text.empty();
        });
        return own || (d.conditions && !d.conditions->eyePoints.empty());
    });
}

void method(Page& page, bool glare, bool seat) {
    page.raw("<section class=\"method\">\n");
    page.element("h2", "method", "Method");
    page.element("p", "",
                 "The model compares the actual contrast of the letters, |L \u2212 B| / B for letter luminance L and "
                 "background luminance B, with the threshold contrast that an observer of the given age needs to "
                 "read strokes of this angular size against this background luminance, at the chosen ease of "
                 "reading and field correction. The lettering is Legible when the actual contrast exceeds the "
                 "threshold. The margin is log10 of the actual contrast minus log10 of the threshold contrast: "
                 "positive is legible.");
    page.element("p", "",
                 "Every computed number is rounded to three decimals, halves away from zero, as soon as it is "
                 "computed, and the next step computes with the rounded number. The numbers in this report are "
                 "the numbers the calculation used.");
    page.element("p", "",
                 "The veil is the luminance that light reflected by the display's front surface adds equally to "
                 "letters and background: the diffuse reflectance times the ambient illuminance, plus a mirrored "
                 "source's luminance times the specular reflectance, plus any veil measured. It is added to both "
                 "luminances before the contrast is computed. The contrast ratio is the brighter luminance over "
                 "the darker, veil included; the modulation is (Lmax \u2212 Lmin) / (Lmax + Lmin).");
    if (glare) {
        page.element("p", "",
                     "Glare inside the eye: each glare source of illuminance E at the eye and angle \u03b8 from the "
                     "line of sight lays a veiling luminance given by the CIE General Disability Glare Equation "
                     "(CIE 146:2002), valid from 0.1 to 100 degrees and growing with the observer's age. The veils "
                     "of all sources add to the veil above, as a measured veil does.");
    }
    if (seat) {
        page.element("p", "",
                     "The display seen from the seat: with the line of sight at a tilt off the display's normal in "
                     "the vertical plane and a pan in the horizontal plane, the letters are seen foreshortened to "
                     "their height times cos(tilt), and the angular size follows from that apparent height. The "
                     "off-axis angle \u03b1 has cos \u03b1 = cos(tilt)\u00b7cos(pan); in luminance mode the "
                     "display's luminance there is its head-on luminance times the off-axis factor.");
    }
    page.element("p", "",
                 "The verdict is the tool's model, not a certification: it does not replace a test with observers "
                 "or a standard's own measurement procedure.");
    page.raw("</section>\n");
}

} // namespace

std::string escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        case '\0': out += "\uFFFD"; break;
        default: out += c;
        }
    }
    return out;
}

std::string_view inverseQuestion(std::size_t column) {
    const std::string_view name = kColumns[column].name;
    if (name == "letter_height_mm") {
        return "Minimum letter height";
    }
    if (name == "viewing_distance_mm") {
        return "Maximum viewing distance";
    }
    if (name == "age") {
        return "Maximum observer age";
    }
    if (name == "ambient_lux") {
        return "Maximum ambient illuminance";
    }
    if (name == "letter_cdm2") {
        return "Minimum letter luminance";
    }
    return name;
}

std::string citationText(std::string_view source, std::string_view withdrawn, std::string_view supersededBy) {
    std::string out(source);
    if (withdrawn.empty() && supersededBy.empty()) {
        return out;
    }
    out += " (";
    if (!withdrawn.empty()) {
        out.append("withdrawn ").append(withdrawn);
    }
    if (!supersededBy.empty()) {
        out.append(withdrawn.empty() ? "" : "; ").append("superseded by ").append(supersededBy);
    }
    return out + ")";
}

std::string headline(const Overall& o) {
    std::string text = o.standing == Standing::NoVerdict    ? "No verdict"
                       : o.standing == Standing::NotLegible ? std::string(kNotLegible) + " by the model"
                                                            : std::string(kLegible) + " by the model";
    if (!o.checked) {
        return text;
    }
    const auto checks = [](std::size_t n, std::string_view level) {
        return std::to_string(n) + " " + std::string(level) + (n == 1 ? " check" : " checks");
    };
    text += " \u2014 ";
    if (o.failedRequired > 0) {
        text += "fails " + checks(o.failedRequired, "required");
        if (o.failedRecommended > 0) {
            text += " and " + std::to_string(o.failedRecommended) + " recommended";
        }
    } else if (o.failedRecommended > 0) {
        text += "passes all required checks, fails " + std::to_string(o.failedRecommended) + " recommended";
    } else {
        text += "passes every check";
    }
    return text;
}

std::string_view headlineClass(Standing standing) {
    switch (standing) {
    case Standing::NoVerdict: return "no-verdict";
    case Standing::NotLegible: return "not-legible";
    case Standing::FailsRequired: return "fails-required";
    case Standing::FailsRecommended:
    case Standing::Passes: break;
    }
    return "legible";
}

std::string failedChecksSummary(const ReviewDesign& design) {
    const FailedChecks failed = failedChecks(design);
    const auto joined = [](const std::vector<std::string>& ids) {
        std::string out;
        for (const std::string& id : ids) {
            out += (out.empty() ? "" : ", ") + id;
        }
        return out;
    };
    const std::string required = joined(failed.required);
    const std::string recommended = joined(failed.recommended);
    if (required.empty() && recommended.empty()) {
        return {};
    }
    if (recommended.empty()) {
        return required + " (required)";
    }
    if (required.empty()) {
        return recommended + " (recommended)";
    }
    return required + " (required); " + recommended + " (recommended)";
}

ReviewAnswer reviewAnswer(std::string question, const SolveTarget& target, const SolveResult& solved,
                          const NumberText& numbers) {
    ReviewAnswer a{std::move(question), {}, {}, std::string(target.unit)};
    const std::string unitText = a.unit.empty() ? "" : " " + a.unit;
    const std::string range = " from " + numbers.plain(solved.min) + " to " + numbers.plain(solved.max) + unitText;
    const auto& changes = solved.changes;
    if (changes.empty()) {
        a.sentence = solved.stateAtMin + " everywhere" + range;
        return a;
    }
    // The limit is the change into Legible for a smallest value, and out of
    // it for a largest: a change elsewhere (dark letters on a bright
    // background, say) answers another question.
    const std::string legible(kLegible);
    if (target.smallestIsAnswer) {
        const auto limit =
            std::find_if(changes.begin(), changes.end(), [&](const ChangePoint& c) { return c.stateAbove == legible; });
        if (limit != changes.end()) {
            a.value = numbers.plain(limit->above);
            a.sentence = "Legible from " + a.value + unitText;
        } else {
            a.sentence = solved.stateAtMin == legible
                             ? "Legible only up to " + numbers.plain(changes.front().below) + unitText
                             : "Legible nowhere" + range;
        }
    } else {
        const auto limit = std::find_if(changes.rbegin(), changes.rend(),
                                        [&](const ChangePoint& c) { return c.stateBelow == legible; });
        if (limit != changes.rend()) {
            a.value = numbers.plain(limit->below);
            a.sentence = "Legible up to " + a.value + unitText;
        } else {
            a.sentence = solved.stateAtMax == legible
                             ? "Legible only from " + numbers.plain(changes.back().above) + unitText
                             : "Legible nowhere" + range;
        }
    }
    // Two band edges or more: the page gives every band, as solve does.
    const std::vector<LegibleBand> bands = legibleBands(solved);
    const std::size_t edges = bandEdges(bands);
    if (edges > 1) {
        a.sentence = "Legible " + legibleBandsText(bands, target.unit, [&](double v) { return numbers.plain(v); });
    }
    if (!a.value.empty() && changes.size() > std::max<std::size_t>(edges, 1)) {
        a.sentence += "; the verdict also changes elsewhere" + range;
    }
    return a;
}

namespace {

std::string dateOf(std::time_t when) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    std::array<char, 16> text{};
    const std::size_t n = std::strftime(text.data(), text.size(), "%Y-%m-%d", &utc);
    return std::string(text.data(), n);
}

} // namespace

std::string todayUtc() { return dateOf(std::time(nullptr)); }

std::optional<std::string> utcDate(std::string_view epochSeconds) {
    constexpr std::size_t kMostDigits = 12; // beyond year 30000
    if (epochSeconds.empty() || epochSeconds.size() > kMostDigits ||
        !std::all_of(epochSeconds.begin(), epochSeconds.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return dateOf(static_cast<std::time_t>(std::stoll(std::string(epochSeconds))));
}

std::string base64(std::string_view bytes) {
    static constexpr std::string_view kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t k = 0; k < bytes.size(); k += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - k);
        std::uint32_t group = 0;
        for (std::size_t j = 0; j < 3; ++j) {
            group = (group << 8U) | (j < n ? static_cast<unsigned char>(bytes[k + j]) : 0U);
        }
        for (std::size_t j = 0; j < 4; ++j) {
            out += j <= n ? kDigits[(group >> (18 - 6 * j)) & 63U] : '=';
        }
    }
    return out;
}

namespace {

void screenSection(Page& page, const ReviewScreen& screen) {
    page.raw("<section class=\"design next\">\n");
    page.element("h2", "next", "Screen: " + screen.name);
    page.raw("<figure><img style=\"display:block;max-width:100%;height:auto\" alt=\"");
    page.text("The legibility map of " + screen.name);
    page.raw("\" src=\"data:image/png;base64,");
    page.raw(base64(screen.png));
    page.raw("\">\n");
    page.element("figcaption", "", screen.caption);
    page.raw("</figure>\n");
    if (screen.rows.empty()) {
        page.element("p", "none", "No text was found on the screen.");
    } else {
        page.raw("<div class=\"wrap\"><table class=\"cards\">\n<thead><tr>");
        for (const std::string_view h : screen.header) {
            page.element("th", "", h);
        }
        page.raw("</tr></thead>\n<tbody>\n");
        for (const auto& row : screen.rows) {
            page.raw("<tr>");
            for (std::size_t k = 0; k < row.size() && k < screen.header.size(); ++k) {
                page.cell(screen.header[k], k < 2 ? "id" : "", row[k]);
            }
            page.raw("</tr>\n");
        }
        page.raw("</tbody></table></div>\n");
    }
    page.raw("</section>\n");
}

} // namespace

std::string reviewHtml(const Review& review, const NumberText& numbers, std::span<const ReviewArt> art,
                       const ReviewScreen* screen) {
    const Writer w{numbers};
    const ReviewArt none;
    Page page;
    page.raw("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
             // Defence in depth: even a flaw in the escaping could run or fetch nothing.
             "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src "
             "'unsafe-inline'; img-src data:\">\n");
    page.element("title", "", review.title);
    page.raw("<style>");
    page.raw(kStyle);
    page.raw("</style>\n</head>\n<body>\n<header>\n");
    page.element("h1", "", review.title);
    page.element("p", "meta", "Generated " + review.date + " \u00b7 Vistrel " + review.version);
    page.raw("</header>\n");
    paperwork(page, review);
    const bool several = review.designs.size() > 1;
    if (several) {
        overview(page, w, review);
    }
    for (std::size_t k = 0; k < review.designs.size(); ++k) {
        const ReviewDesign& d = review.designs[k];
        design(page, w, d, k < art.size() ? art[k] : none, several || !d.name.empty(), k > 0);
    }
    if (screen != nullptr) {
        screenSection(page, *screen);
    }
    method(page, anyGlare(review), anySeat(review));
    page.raw("</body>\n</html>\n");
    return page.take();
}

} // namespace vistrel::cli
