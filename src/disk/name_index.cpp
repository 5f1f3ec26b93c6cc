#include "disk/name_index.h"

#include <algorithm>
#include <functional>

namespace {

uint32_t hashOf(std::string_view name) {
    return static_cast<uint32_t>(std::hash<std::string_view>{}(name));
}

}  // namespace

size_t NameIndex::find(std::string_view name) const {
    if (m_slots.empty()) {
        return kNone;
    }
    const uint32_t hash = hashOf(name);
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const uint32_t entry = m_slots[slot];
        if (entry == 0) {
            return kNone;
        }
        if (m_spans[entry - 1].hash == hash && this->name(entry - 1) == name) {
            return entry - 1;
        }
    }
}

const char* NameIndex::copy(std::string_view name) {
    if (name.size() > m_left) {
        constexpr size_t kBlock = 256 * 1024;
        const size_t size = std::max(kBlock, name.size());
        m_blocks.push_back(std::make_unique<char[]>(size));
        m_free = m_blocks.back().get();
        m_left = size;
    }
    char* const at = m_free;
    std::copy(name.begin(), name.end(), at);
    m_free += name.size();
    m_left -= name.size();
    return at;
}

std::pair<size_t, bool> NameIndex::insert(std::string_view name, bool kept) {
    if ((m_spans.size() + 1) * 2 > m_slots.size()) {
        reserve(m_spans.size() + 1);  // at most half full, so a search ends soon
    }
    const uint32_t hash = hashOf(name);
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const uint32_t entry = m_slots[slot];
        if (entry == 0) {
            m_spans.push_back(
                {kept ? name.data() : copy(name), static_cast<uint32_t>(name.size()), hash});
            m_slots[slot] = static_cast<uint32_t>(m_spans.size());
            return {m_spans.size() - 1, true};
        }
        if (m_spans[entry - 1].hash == hash && this->name(entry - 1) == name) {
            return {entry - 1, false};
        }
    }
}

void NameIndex::reserve(size_t count) {
    if (count * 2 <= m_slots.size()) {
        return;
    }
    size_t size = std::max<size_t>(16, m_slots.size());
    while (size < count * 2) {
        size *= 2;
    }
    m_spans.reserve(count);
    std::vector<uint32_t> slots(size, 0);
    const size_t mask = size - 1;
    for (size_t index = 0; index < m_spans.size(); ++index) {
        size_t slot = m_spans[index].hash & mask;
        while (slots[slot] != 0) {
            slot = (slot + 1) & mask;
        }
        slots[slot] = static_cast<uint32_t>(index + 1);
    }
    m_slots.swap(slots);
}
