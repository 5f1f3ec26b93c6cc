#include "run/compact_sets.h"

#include <algorithm>
#include <functional>

namespace {

size_t hashOf(std::string_view name) {
    return std::hash<std::string_view>{}(name);
}

size_t hashOf(ino_t inode) {  // splitmix64's finalizer: neighbouring inodes scatter
    uint64_t x = inode;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return static_cast<size_t>(x ^ (x >> 31));
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

size_t NameIndex::insert(std::string_view name, bool& added) {
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
            added = true;
            return m_spans.size() - 1;
        }
        if (this->name(entry - 1) == name) {
            added = false;
            return entry - 1;
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

bool InodeSet::contains(ino_t inode) const {
    if (inode == 0) {
        return m_zero;
    }
    if (m_slots.empty()) {
        return false;
    }
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = hashOf(inode) & mask; m_slots[slot] != 0; slot = (slot + 1) & mask) {
        if (m_slots[slot] == inode) {
            return true;
        }
    }
    return false;
}

void InodeSet::insert(ino_t inode) {
    if (inode == 0) {
        m_zero = true;
        return;
    }
    if ((m_count + 1) * 2 > m_slots.size()) {
        grow();
    }
    const size_t mask = m_slots.size() - 1;
    size_t slot = hashOf(inode) & mask;
    while (m_slots[slot] != 0) {
        if (m_slots[slot] == inode) {
            return;
        }
        slot = (slot + 1) & mask;
    }
    m_slots[slot] = inode;
    ++m_count;
}

void InodeSet::grow() {
    std::vector<ino_t> slots(std::max<size_t>(16, m_slots.size() * 2), 0);
    const size_t mask = slots.size() - 1;
    for (const ino_t inode : m_slots) {
        if (inode != 0) {
            size_t slot = hashOf(inode) & mask;
            while (slots[slot] != 0) {
                slot = (slot + 1) & mask;
            }
            slots[slot] = inode;
        }
    }
    m_slots.swap(slots);
}
