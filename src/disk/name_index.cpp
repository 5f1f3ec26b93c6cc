#include "disk/name_index.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

size_t hashOf(std::string_view name) {
    return std::hash<std::string_view>{}(name);
}

}  // namespace

size_t NameIndex::slotOf(std::string_view name, size_t hash) const {
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const uint32_t entry = m_slots[slot];
        // strncmp stops at the NUL that ends every kept name, so a longer or shorter one is told
        // apart without reading beyond it.
        if (entry == 0 || (std::strncmp(m_names[entry - 1], name.data(), name.size()) == 0 &&
                           m_names[entry - 1][name.size()] == '\0')) {
            return slot;
        }
    }
}

size_t NameIndex::find(std::string_view name) const {
    if (m_slots.empty()) {
        return kNone;
    }
    const uint32_t entry = m_slots[slotOf(name, hashOf(name))];
    return entry == 0 ? kNone : entry - 1;
}

const char* NameIndex::copy(std::string_view name) {
    if (name.size() + 1 > m_left) {
        constexpr size_t kBlock = 256 * 1024;
        const size_t size = std::max(kBlock, name.size() + 1);
        m_blocks.push_back(std::make_unique<char[]>(size));
        m_free = m_blocks.back().get();
        m_left = size;
    }
    char* const at = m_free;
    *std::copy(name.begin(), name.end(), at) = '\0';
    m_free += name.size() + 1;
    m_left -= name.size() + 1;
    return at;
}

std::pair<size_t, bool> NameIndex::insert(std::string_view name, bool kept) {
    if ((m_names.size() + 1) * 2 > m_slots.size()) {
        reserve(m_names.size() + 1);  // at most half full, so a search ends soon
    }
    const size_t slot = slotOf(name, hashOf(name));
    if (m_slots[slot] != 0) {
        return {m_slots[slot] - 1, false};
    }
    m_names.push_back(kept ? name.data() : copy(name));
    m_slots[slot] = static_cast<uint32_t>(m_names.size());
    return {m_names.size() - 1, true};
}

void NameIndex::reserve(size_t count) {
    if (count * 2 <= m_slots.size()) {
        return;
    }
    size_t size = std::max<size_t>(16, m_slots.size());
    while (size < count * 2) {
        size *= 2;
    }
    m_names.reserve(count);
    std::vector<uint32_t> slots(size, 0);
    const size_t mask = size - 1;
    for (size_t index = 0; index < m_names.size(); ++index) {
        size_t slot = hashOf(m_names[index]) & mask;
        while (slots[slot] != 0) {
            slot = (slot + 1) & mask;
        }
        slots[slot] = static_cast<uint32_t>(index + 1);
    }
    m_slots.swap(slots);
}
