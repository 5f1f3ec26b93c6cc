#include "run/name_index.h"

#include <algorithm>
#include <functional>

namespace {

size_t hashOf(std::string_view name) {
    return std::hash<std::string_view>{}(name);
}

}  // namespace

size_t NameIndex::find(std::string_view name) const {
    if (m_slots.empty()) {
        return kNone;
    }
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = hashOf(name) & mask;; slot = (slot + 1) & mask) {
        const uint32_t entry = m_slots[slot];
        if (entry == 0) {
            return kNone;
        }
        if (this->name(entry - 1) == name) {
            return entry - 1;
        }
    }
}

std::pair<size_t, bool> NameIndex::insert(std::string_view name) {
    if ((m_spans.size() + 1) * 2 > m_slots.size()) {
        grow();  // at most half full, so a search ends soon
    }
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = hashOf(name) & mask;; slot = (slot + 1) & mask) {
        const uint32_t entry = m_slots[slot];
        if (entry == 0) {
            m_spans.push_back({m_names.size(), name.size()});
            m_names.insert(m_names.end(), name.begin(), name.end());
            m_slots[slot] = static_cast<uint32_t>(m_spans.size());
            return {m_spans.size() - 1, true};
        }
        if (this->name(entry - 1) == name) {
            return {entry - 1, false};
        }
    }
}

void NameIndex::grow() {
    std::vector<uint32_t> slots(std::max<size_t>(16, m_slots.size() * 2), 0);
    const size_t mask = slots.size() - 1;
    for (size_t index = 0; index < m_spans.size(); ++index) {
        size_t slot = hashOf(name(index)) & mask;
        while (slots[slot] != 0) {
            slot = (slot + 1) & mask;
        }
        slots[slot] = static_cast<uint32_t>(index + 1);
    }
    m_slots.swap(slots);
}
