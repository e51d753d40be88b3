// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/fields.h"

#include <algorithm>
#include <stdexcept>

namespace vistrel {

namespace {

constexpr std::array<std::string_view, kModeOptionCount> kModeOptionNames{"SourceID2Op", "ILL2Op", "BackLum2Op"};

constexpr std::size_t index(Field f) { return static_cast<std::size_t>(f); }

// The fields that start with a text, so that a reset need not look at the others.
constexpr auto kStartedFields = [] {
    constexpr auto count = static_cast<std::size_t>(
        std::count_if(kFields.begin(), kFields.end(), [](const FieldInfo& f) { return !f.start.empty(); }));
    std::array<FieldInfo, count> started{};
    std::copy_if(kFields.begin(), kFields.end(), started.begin(), [](const FieldInfo& f) { return !f.start.empty(); });
    return started;
}();

} // namespace

std::optional<Field> fieldFromName(std::string_view name) {
    for (const FieldInfo& f : kFields) {
        if (f.name == name) {
            return f.field;
        }
    }
    return std::nullopt;
}

std::string_view modeOptionName(ModeOption option) { return kModeOptionNames[static_cast<std::size_t>(option)]; }

std::string fieldSubject(Field field) {
    const FieldInfo& f = fieldInfo(field);
    std::string subject(f.caption);
    if (!f.unit.empty()) {
        subject += " in ";
        subject += f.unit;
    }
    return subject;
}

MemoryStore::MemoryStore(Holds holds) : holds_(holds) { reset(); }

void MemoryStore::reset() {
    for (InlineText& text : texts_) {
        text.clear();
    }
    for (const FieldInfo& f : kStartedFields) {
        texts_[index(f.field)].assign(f.start);
    }
    selectNone();
}

std::string MemoryStore::text(Field field) const { return std::string(texts_[index(field)].view()); }

void MemoryStore::refuseOffWindow(Field field) {
    throw std::logic_error("this store holds only the window's fields, not " + std::string(fieldName(field)));
}

bool MemoryStore::isSelected(ModeOption option) const { return selected_[static_cast<std::size_t>(option)]; }

void MemoryStore::select(ModeOption option) {
    selectNone();
    selected_[static_cast<std::size_t>(option)] = true;
}

void MemoryStore::selectNone() { selected_.fill(false); }

void clearFields(FieldStore& store) {
    for (const Field f : kClearOrder) {
        store.setText(f, "");
    }
}

} // namespace vistrel
