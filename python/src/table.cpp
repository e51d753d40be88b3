// SPDX-License-Identifier: GPL-3.0-or-later
// The native half of vistrel.evaluate_table: named columns in, the columns
// batch writes out. Inputs become texts under the GIL, rows are computed on
// analysis' worker pool without it, and the outputs are built under it again.
#include "analysis/case_notes.h"
#include "analysis/case_notes_text.h"
#include "analysis/worker_pool.h"
#include "bindings.h"
#include "table_input.h"

#include <pybind11/numpy.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace vistrel::python {

namespace {

constexpr std::size_t kRowsPerJob = 4096;
constexpr std::size_t kNoSlot = static_cast<std::size_t>(-1);
constexpr std::size_t kMessageSlot = cli::kColumns.size();
constexpr std::size_t kMarginSlot = cli::kColumns.size() + 1;

// Refuses a table that lacks a column every case needs, whatever its mode.
void refuseMissingColumns(const std::vector<std::size_t>& given) {
    std::optional<std::vector<cli::MissingInput>> everyMode;
    for (const cli::Mode mode : {cli::Mode::Source, cli::Mode::Illuminance, cli::Mode::Luminance}) {
        cli::Case c;
        c.set(0, cli::modeText(mode));
        std::vector<cli::MissingInput> missing;
        for (cli::MissingInput& m : cli::missingInputs(c, given)) {
            if (!everyMode || std::any_of(everyMode->begin(), everyMode->end(),
                                          [&](const cli::MissingInput& e) { return e.columns == m.columns; })) {
                missing.push_back(std::move(m));
            }
        }
        everyMode = std::move(missing);
    }
    if (std::find(given.begin(), given.end(), 0) == given.end()) {
        everyMode->insert(everyMode->begin(), cli::MissingInput{{0}});
    }
    if (everyMode->empty()) {
        return;
    }
    std::string names;
    for (const cli::MissingInput& m : *everyMode) {
        names += names.empty() ? "" : ", ";
        for (std::size_t k = 0; k < m.columns.size(); ++k) {
            names += (k == 0 ? "" : " or ") + std::string(cli::kColumns[m.columns[k]].name);
        }
    }
    raiseInputError("the table lacks a column every case needs: " + names,
                    cli::kColumns[everyMode->front().columns.front()].name);
}

// A word column's cells in one job: each row's index into the texts it found.
struct Words {
    std::vector<std::uint32_t> ids;
    std::vector<std::string> distinct;
    std::unordered_map<std::string, std::uint32_t> index;
    std::uint32_t last = 0;

    void add(std::size_t row, std::string_view text) {
        // Neighbouring rows mostly say the same: no lookup for them.
        if (distinct.empty() || distinct[last] != text) {
            const auto [at, added] = index.try_emplace(std::string(text), static_cast<std::uint32_t>(distinct.size()));
            if (added) {
                distinct.emplace_back(text);
            }
            last = at->second;
        }
        ids[row] = last;
    }
};

// Where each output column comes from, in the order batch writes them.
struct Slot {
    std::size_t slot;     // a column of kColumns, kMessageSlot or kMarginSlot; kNoSlot for a passed column
    std::size_t cell = 0; // the passed column's place in the input
    bool words = false;
};

std::vector<Slot> layOut(const std::vector<std::optional<std::size_t>>& slots, cli::ColumnSet shown) {
    std::vector<std::pair<std::size_t, std::size_t>> passed; // cell, the slot it follows
    std::size_t after = kNoSlot;
    for (std::size_t k = 0; k < slots.size(); ++k) {
        if (slots[k]) {
            after = *slots[k];
        } else {
            passed.emplace_back(k, after);
        }
    }
    std::vector<Slot> out;
    const auto passedAfter = [&](std::size_t s) {
        for (const auto& [cell, follows] : passed) {
            if (follows == s) {
                out.push_back({kNoSlot, cell});
            }
        }
    };
    passedAfter(kNoSlot);
    for (std::size_t s = 0; s < kMarginSlot + 1; ++s) {
        if (s >= cli::kColumns.size() || shown.shows(s)) {
            out.push_back({s, 0, s == kMessageSlot || (s < cli::kColumns.size() && isWordColumn(s))});
        }
        passedAfter(s);
    }
    return out;
}

// One job's rows: numbers go straight into the output arrays, words into words.
struct Job {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::vector<Words> words; // one per word slot
    std::optional<std::size_t> badMode;
};

void compute(Job& job, const std::vector<Source>& sources, const std::vector<Slot>& slots,
             const std::vector<double*>& numbers, cli::ColumnSet shown, const NumberText& invariant) {
    cli::Case c(shown);
    std::array<char, kPointTextSize> buffer{};
    for (Words& w : job.words) {
        w.ids.resize(job.end - job.begin);
    }
    const auto number = [&](std::string_view text) {
        double v = std::nan("");
        if (text.empty()) {
            return v;
        }
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
        if (error == std::errc() && end == text.data() + text.size()) {
            return v;
        }
        const ParsedNumber n = invariant.parse(text);
        return n.ok() ? n.value : std::nan("");
    };
    for (std::size_t row = job.begin; row < job.end; ++row) {
        c.reset();
        bool read = true;
        for (const Source& s : sources) {
            read = read && c.set(s.column, s.text(row, buffer.data()));
        }
        if (!read) {
            job.badMode = job.badMode.value_or(row);
            continue;
        }
        cli::Evaluation e = cli::evaluate(c, invariant);
        cli::addNotes(c, e, invariant);
        std::size_t w = 0;
        for (std::size_t k = 0; k < slots.size(); ++k) {
            const std::size_t s = slots[k].slot;
            if (s == kNoSlot) {
                continue;
            }
            const std::string_view text = s == kMessageSlot  ? std::string_view(e.messageText())
                                          : s == kMarginSlot ? std::string_view(e.margin)
                                                             : c.view(s);
            if (slots[k].words) {
                job.words[w++].add(row - job.begin, text);
            } else {
                numbers[k][row] = number(text);
            }
        }
    }
}

py::tuple evaluateColumns(const py::list& names, const py::list& columns, std::size_t rows, bool daylight,
                          bool nanIsEmpty) {
    if (names.size() != columns.size()) {
        throw py::value_error("names and columns differ in length");
    }
    if (rows == 0) {
        raiseInputError("the table has no rows: it needs one case a row");
    }
    std::vector<std::optional<std::size_t>> slotOfCell;
    std::vector<Source> sources;
    std::vector<std::size_t> given;
    cli::ColumnSet shown = cli::columnSet(daylight);
    std::vector<std::string> seen(cli::kColumns.size() + 2);
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (!py::isinstance<py::str>(names[k])) {
            raiseInputError("column names must be texts, not " + std::string(py::repr(names[k])));
        }
        const std::string name = py::str(names[k]);
        const auto index = cli::columnIndex(name);
        std::optional<std::size_t> slot = index;
        if (!index && (name == cli::kMessageColumn || name == cli::kMarginColumn)) {
            slot = name == cli::kMessageColumn ? kMessageSlot : kMarginSlot; // an output fed back in: replaced
        } else if (!index) {
            const bool label = name == "id" || name == "label";
            if (const auto near = label ? std::nullopt : cli::nearColumn(name)) {
                raiseInputError("unknown column \"" + name + "\"; did you mean \"" + std::string(*near) +
                                    "\"? It is too close to that name to pass through.",
                                name);
            }
        }
        if (slot && !seen[*slot].empty()) {
            raiseInputError("columns \"" + seen[*slot] + "\" and \"" + name + "\" are the same column", name);
        }
        if (slot) {
            seen[*slot] = name;
        }
        if (index) {
            sources.push_back(readColumn(*index, columns[k], name, rows, nanIsEmpty));
            given.push_back(*index);
            shown.add(cli::ColumnSet::of(*index));
        }
        slotOfCell.push_back(slot);
    }
    refuseMissingColumns(given);

    const std::vector<Slot> slots = layOut(slotOfCell, shown);
    std::vector<py::array_t<double>> arrays;
    std::vector<double*> numbers(slots.size(), nullptr);
    std::size_t wordSlots = 0;
    for (std::size_t k = 0; k < slots.size(); ++k) {
        if (slots[k].slot != kNoSlot && !slots[k].words) {
            arrays.emplace_back(std::vector<py::ssize_t>{static_cast<py::ssize_t>(rows)});
            numbers[k] = arrays.back().mutable_data();
            std::fill(numbers[k], numbers[k] + rows, std::nan(""));
        }
        wordSlots += slots[k].words ? 1U : 0U;
    }
    std::vector<Job> jobs((rows + kRowsPerJob - 1) / kRowsPerJob);
    {
        const py::gil_scoped_release unlocked;
        const NumberText invariant(NumberFormat::invariant());
        cli::WorkerPool pool; // declared last: its jobs end before what they use goes
        for (std::size_t j = 0; j < jobs.size(); ++j) {
            jobs[j].begin = j * kRowsPerJob;
            jobs[j].end = std::min(rows, jobs[j].begin + kRowsPerJob);
            jobs[j].words.resize(wordSlots);
            pool.submit([&, j] { compute(jobs[j], sources, slots, numbers, shown, invariant); });
        }
        for (std::size_t j = 0; j < jobs.size(); ++j) {
            pool.waitNext();
        }
    }
    for (const Job& job : jobs) {
        if (job.badMode) {
            const std::size_t mode = 0;
            const Source& s =
                *std::find_if(sources.begin(), sources.end(), [](const Source& src) { return src.column == mode; });
            std::array<char, kPointTextSize> buffer{};
            raiseInputError(rowName(cli::kColumns[0].name, *job.badMode) + ": \"" +
                                std::string(s.text(*job.badMode, buffer.data())) + "\" must be " +
                                std::string(cli::kModeChoices),
                            cli::kColumns[0].name);
        }
    }

    py::list outNames;
    py::list outColumns;
    std::unordered_map<std::string, py::str> interned; // a text shared by many rows is one object
    std::size_t nextArray = 0;
    std::size_t w = 0;
    for (const Slot& slot : slots) {
        if (slot.slot == kNoSlot) {
            outNames.append(names[slot.cell]);
            outColumns.append(columns[slot.cell]);
            continue;
        }
        const std::string_view name = slot.slot == kMessageSlot  ? cli::kMessageColumn
                                      : slot.slot == kMarginSlot ? cli::kMarginColumn
                                                                 : cli::kColumns[slot.slot].name;
        outNames.append(py::str(name.data(), name.size()));
        if (!slot.words) {
            outColumns.append(arrays[nextArray++]);
            continue;
        }
        py::array cells(py::dtype("O"), std::vector<py::ssize_t>{static_cast<py::ssize_t>(rows)});
        auto** objects = static_cast<PyObject**>(cells.mutable_data());
        for (const Job& job : jobs) {
            std::vector<PyObject*> texts;
            for (const std::string& text : job.words[w].distinct) {
                PyObject* object = Py_None;
                if (!text.empty()) {
                    object = interned.try_emplace(text, py::str(text)).first->second.ptr();
                }
                texts.push_back(object);
            }
            for (std::size_t row = job.begin; row < job.end; ++row) {
                PyObject* object =
                    job.words[w].ids.empty() || texts.empty() ? Py_None : texts[job.words[w].ids[row - job.begin]];
                Py_INCREF(object);
                Py_XDECREF(objects[row]);
                objects[row] = object;
            }
        }
        ++w;
        outColumns.append(cells);
    }
    return py::make_tuple(outNames, outColumns);
}

} // namespace

void registerTable(py::module_& m) {
    m.def("_evaluate_columns", &evaluateColumns, py::arg("names"), py::arg("columns"), py::arg("rows"),
          py::arg("daylight") = false, py::arg("nan_is_empty") = false,
          "The columns of evaluate_table: names and one array or list per name in, the same out.");
}

} // namespace vistrel::python
