// A small unbalanced binary search tree that never allocates: nodes come from a pool owned by the
// caller, and each node files a pointer to one of the caller's records.
#pragma once

#include <cstdint>

namespace corvane {

struct TTreeRec {
    TTreeRec* Left = nullptr;
    TTreeRec* Right = nullptr; // next free node while in the pool
    TTreeRec* Parent = nullptr;
    const void* Data = nullptr;
};

using TCompareDD = int32_t (*)(const void* a, const void* b);
using TCompareKD = int32_t (*)(const void* key, const void* record);

class TTree {
public:
    TTreeRec* Root = nullptr;
    TTreeRec* FreeList = nullptr;
    TCompareDD CompareDD = nullptr;
    TCompareKD CompareKD = nullptr;
    int32_t Count = 0;
    int32_t FreeCount = 0;

    // Hands over a pool chained through Right (the last node's Right being null).
    void SetPool(TTreeRec* first);
    // Throws std::logic_error("Tree CompareKD function not assigned.") without a CompareKD.
    TTreeRec* Find(const void* key) const;
    // False when the pool is empty. Throws std::logic_error("Tree CompareDD function not
    // assigned.") without a CompareDD. Equal keys go right.
    bool Add(const void* record);
    void Remove(TTreeRec* node); // null is ignored
    void Clear();
    static TTreeRec* Leftmost(TTreeRec* node);
    static TTreeRec* Successor(TTreeRec* node);
};

// Orders two signed 64-bit serial numbers: high 32 bits signed, then low 32 bits unsigned.
// Returns 1, 0 or -1.
int32_t CompareSerNo(int64_t a, int64_t b);

} // namespace corvane
