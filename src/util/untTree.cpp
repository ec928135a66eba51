#include "util/untTree.h"

#include <stdexcept>

namespace corvane {

void TTree::SetPool(TTreeRec* first) {
    FreeList = first;
    FreeCount = 0;
    for (TTreeRec* n = first; n != nullptr; n = n->Right)
        ++FreeCount;
}

TTreeRec* TTree::Find(const void* key) const {
    if (CompareKD == nullptr)
        throw std::logic_error("Tree CompareKD function not assigned.");
    TTreeRec* node = Root;
    while (node != nullptr) {
        int32_t c = CompareKD(key, node->Data);
        if (c == 0)
            return node;
        node = c < 0 ? node->Left : node->Right;
    }
    return nullptr;
}

bool TTree::Add(const void* record) {
    if (CompareDD == nullptr)
        throw std::logic_error("Tree CompareDD function not assigned.");
    if (FreeList == nullptr)
        return false;
    TTreeRec* node = FreeList;
    FreeList = node->Right;
    *node = TTreeRec{};
    node->Data = record;
    ++Count;
    --FreeCount;

    TTreeRec* parent = nullptr;
    bool left = false;
    for (TTreeRec* cur = Root; cur != nullptr; cur = left ? cur->Left : cur->Right) {
        parent = cur;
        left = CompareDD(record, cur->Data) < 0;
    }
    node->Parent = parent;
    if (parent == nullptr)
        Root = node;
    else if (left)
        parent->Left = node;
    else
        parent->Right = node;
    return true;
}

void TTree::Remove(TTreeRec* node) {
    if (node == nullptr)
        return;
    // With two children the successor (which has no left child) is unlinked instead, and its
    // record moves into `node`.
    TTreeRec* v = (node->Left != nullptr && node->Right != nullptr) ? Successor(node) : node;
    TTreeRec* c = v->Left != nullptr ? v->Left : v->Right;
    if (c != nullptr)
        c->Parent = v->Parent;
    if (v->Parent == nullptr)
        Root = c;
    else if (v->Parent->Left == v)
        v->Parent->Left = c;
    else
        v->Parent->Right = c;
    if (v != node)
        node->Data = v->Data;

    *v = TTreeRec{};
    v->Right = FreeList;
    FreeList = v;
    --Count;
    ++FreeCount;
}

void TTree::Clear() {
    while (Root != nullptr)
        Remove(Root);
}

TTreeRec* TTree::Leftmost(TTreeRec* node) {
    if (node == nullptr)
        return nullptr;
    while (node->Left != nullptr)
        node = node->Left;
    return node;
}

TTreeRec* TTree::Successor(TTreeRec* node) {
    if (node == nullptr)
        return nullptr;
    if (node->Right != nullptr)
        return Leftmost(node->Right);
    while (node->Parent != nullptr && node == node->Parent->Right)
        node = node->Parent;
    return node->Parent;
}

int32_t CompareSerNo(int64_t a, int64_t b) {
    auto ahi = static_cast<int32_t>(static_cast<uint64_t>(a) >> 32);
    auto bhi = static_cast<int32_t>(static_cast<uint64_t>(b) >> 32);
    if (ahi != bhi)
        return ahi > bhi ? 1 : -1;
    auto alo = static_cast<uint32_t>(a);
    auto blo = static_cast<uint32_t>(b);
    if (alo != blo)
        return alo > blo ? 1 : -1;
    return 0;
}

} // namespace corvane
