#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

// Names, found by hashing: for a million names a fraction of the memory and time of a map of
// strings, which allocates every one of them. A name is copied into blocks of the index's own,
// or, where its owner keeps it in place for as long as the index lives, not copied at all.
class NameIndex {
public:
    static constexpr size_t kNone = size_t(-1);

    // The name's index, or kNone.
    size_t find(std::string_view name) const;
    // The name's index, and whether it was new. A new name is copied unless `kept`: then its
    // bytes stay where they are, and whoever holds them keeps them for the index.
    std::pair<size_t, bool> insert(std::string_view name, bool kept = false);
    // Makes room for `count` names in all, so that the table does not grow again and again on
    // the way there.
    void reserve(size_t count);
    size_t size() const { return m_spans.size(); }
    std::string_view name(size_t index) const {
        return {m_spans[index].data, m_spans[index].length};
    }

private:
    struct Span {
        const char* data;
        uint32_t length;
        uint32_t hash;  // compared before the name, and what the table grows by
    };

    // A copy of the name in the current block, which never moves.
    const char* copy(std::string_view name);

    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_free = nullptr;  // in the last block
    size_t m_left = 0;       // bytes free there
    std::vector<Span> m_spans;
    std::vector<uint32_t> m_slots;  // a name's index plus one; 0 is a free slot
};
