#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

// Names, found by hashing: for a million names a fraction of the memory and time of a map of
// strings, which allocates every one of them. A name is copied into blocks of the index's own,
// or, where its owner keeps it in place for as long as the index lives, not copied at all. Each
// name costs the index one pointer and at most four slots of four bytes: names are kept
// NUL-terminated, as a directory's names are, so their length is where their NUL is.
class NameIndex {
public:
    static constexpr size_t kNone = size_t(-1);

    // The name's index, or kNone.
    size_t find(std::string_view name) const;
    // The name's index, and whether it was new. A new name is copied unless `kept`: then its
    // bytes, which a NUL must follow, stay where they are, and whoever holds them keeps them for
    // the index. A name holds no NUL of its own.
    std::pair<size_t, bool> insert(std::string_view name, bool kept = false);
    // Makes room for `count` names in all, so that the table does not grow again and again on
    // the way there.
    void reserve(size_t count);
    size_t size() const { return m_names.size(); }
    std::string_view name(size_t index) const { return m_names[index]; }

private:
    // The slot a search for the name with this hash ends in: the name's, or a free one.
    size_t slotOf(std::string_view name, size_t hash) const;
    // A copy of the name and its NUL in the current block, which never moves.
    const char* copy(std::string_view name);

    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_free = nullptr;  // in the last block
    size_t m_left = 0;       // bytes free there
    std::vector<const char*> m_names;
    std::vector<uint32_t> m_slots;  // a name's index plus one; 0 is a free slot
};
