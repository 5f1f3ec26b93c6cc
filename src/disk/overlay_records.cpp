// The overlay's bookkeeping: the records of what the run changes, and the listings its tables
// point into rather than copy from.
#include <algorithm>
#include <functional>
#include <limits>

#include "disk/disk_overlay.h"

ListedFile DiskOverlay::Changes::as(const Placed& placed, dev_t device, size_t nameOffset,
                                    size_t nameSize) const {
    const auto size = static_cast<uint16_t>(nameSize);
    const auto offset = static_cast<uint32_t>(nameOffset);
    if (placed.listing != 0) {
        const ListedFile& listed = listings[placed.listing - 1u]->files[placed.at];
        return {listed.mtime, listed.size,  device,      listed.inode, offset,
                listed.owner, listed.group, listed.mode, size};
    }
    const Record& record = records[placed.at];
    return {record.mtime, record.size,  device,       record.inode,
            offset,       record.owner, record.group, static_cast<uint16_t>(record.mode),
            size};
}

const DiskOverlay::Placed* DiskOverlay::Changes::placedAs(std::string_view name) const {
    const size_t index = placedNames.find(name);
    return index != NameIndex::kNone && placed[index].present ? &placed[index] : nullptr;
}

size_t DiskOverlay::remainingListed() const {
    const Listing* listed = m_listed.listing.get();
    return listed == nullptr ? 0
                             : listed->files.size() - std::min(m_listed.next, listed->files.size());
}

void DiskOverlay::makeRoom(NameIndex& names) const {
    // A rule that adds one name from its listing is likely to add one for each file left.
    if (m_listed.listing != nullptr) {
        names.reserve(names.size() + remainingListed() + 1);
    }
}

namespace {

// Whether `item` lies in `items`.
template <typename T>
bool within(const T* item, const std::vector<T>& items) {
    const std::less<const T*> before;
    return !items.empty() && !before(item, items.data()) &&
           before(item, items.data() + items.size());
}

bool sameFields(const ListedFile& listed, const struct stat& info) {
    return listed.mtime == info.st_mtim.tv_sec && listed.size == info.st_size &&
           listed.inode == info.st_ino && listed.owner == info.st_uid &&
           listed.group == info.st_gid && listed.mode == info.st_mode;
}

}  // namespace

bool DiskOverlay::keepsListing(Changes& changes) const {
    if (m_listed.listing == nullptr) {
        return false;
    }
    if (changes.listings.empty() || changes.listings.back() != m_listed.listing) {
        if (changes.listings.size() == std::numeric_limits<uint16_t>::max()) {
            return false;  // a placed file numbers its listing in 16 bits
        }
        changes.listings.push_back(m_listed.listing);
    }
    return true;
}

const ListedFile* DiskOverlay::listedEntry(const struct stat& info) const {
    const ListedFile* entry = m_lastStat.listed;
    return entry != nullptr && m_listed.listing != nullptr &&
                   within(entry, m_listed.listing->files) && sameFields(*entry, info)
               ? entry
               : nullptr;
}

bool DiskOverlay::keepsName(Changes& changes, const char* name) const {
    return m_listed.listing != nullptr && within(name, m_listed.listing->names) &&
           keepsListing(changes);
}
