// A walk along one chain of the ring of reads: from a read, by one of its links (newer or older,
// of its sensor, entry point or repeater), until the chain ends. Used as
//   for (int32_t i : Chain(Reads, s.Oldest, &TRead::SensorNewer)) ...
#pragma once

#include <cstdint>
#include <iterator>

#include "store/Store.h"

namespace corvane {

class TChainWalk {
public:
    using TLink = int32_t TRead::*;

    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = int32_t;
        using difference_type = std::ptrdiff_t;
        using pointer = const int32_t*;
        using reference = int32_t;

        iterator() = default;
        iterator(const TRead* reads, int32_t at, TLink link)
            : reads_(reads), at_(at), link_(link) {}
        int32_t operator*() const { return at_; }
        iterator& operator++() {
            at_ = reads_[at_].*link_;
            return *this;
        }
        iterator operator++(int) {
            iterator was = *this;
            ++*this;
            return was;
        }
        bool operator==(const iterator& other) const { return at_ == other.at_; }

    private:
        const TRead* reads_ = nullptr;
        int32_t at_ = NoRead;
        TLink link_ = nullptr;
    };

    TChainWalk(const TRead* reads, int32_t first, TLink link)
        : reads_(reads), first_(first), link_(link) {}
    iterator begin() const { return iterator(reads_, first_, link_); }
    iterator end() const { return iterator(reads_, NoRead, link_); }

private:
    const TRead* reads_;
    int32_t first_;
    TLink link_;
};

// The reads from first on along link; any container of TRead laid out in one block will do.
template <class TReads>
TChainWalk Chain(const TReads& reads, int32_t first, TChainWalk::TLink link) {
    return TChainWalk(reads.data(), first, link);
}

} // namespace corvane
