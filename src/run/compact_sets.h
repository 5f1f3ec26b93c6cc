#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string_view>
#include <vector>

// Names, each kept once in one block of memory and found by hashing: for a million names a
// fraction of the memory and time of a map of strings, which allocates every one of them.
class NameIndex {
public:
    static constexpr size_t kNone = size_t(-1);

    // The name's index, or kNone.
    size_t find(std::string_view name) const;
    // The name's index; `added` tells whether it was new.
    size_t insert(std::string_view name, bool& added);
    size_t size() const { return m_spans.size(); }
    std::string_view name(size_t index) const {
        return {m_names.data() + m_spans[index].at, m_spans[index].length};
    }

private:
    struct Span {
        size_t at;
        size_t length;
    };
    void grow();

    std::vector<char> m_names;
    std::vector<Span> m_spans;
    std::vector<uint32_t> m_slots;  // a name's index plus one; 0 is a free slot
};

// Inode numbers, kept the same way.
class InodeSet {
public:
    bool contains(ino_t inode) const;
    void insert(ino_t inode);

private:
    void grow();

    std::vector<ino_t> m_slots;  // 0 is a free slot; inode 0 is kept aside
    size_t m_count = 0;
    bool m_zero = false;
};
