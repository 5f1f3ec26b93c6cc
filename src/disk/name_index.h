#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

// Names, each kept once in one block of memory and found by hashing: for a million names a
// fraction of the memory and time of a map of strings, which allocates every one of them.
class NameIndex {
public:
    static constexpr size_t kNone = size_t(-1);

    // The name's index, or kNone.
    size_t find(std::string_view name) const;
    // The name's index, and whether it was new.
    std::pair<size_t, bool> insert(std::string_view name);
    // Makes room for `count` names in all, so that the table does not grow again and again on
    // the way there.
    void reserve(size_t count);
    size_t size() const { return m_spans.size(); }
    std::string_view name(size_t index) const {
        return {m_names.data() + m_spans[index].at, m_spans[index].length};
    }

private:
    struct Span {
        size_t at;
        uint32_t length;
        uint32_t hash;  // compared before the name, and what the table grows by
    };

    std::vector<char> m_names;
    std::vector<Span> m_spans;
    std::vector<uint32_t> m_slots;  // a name's index plus one; 0 is a free slot
};
