#include "util/untTree.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <stdexcept>
#include <vector>

namespace corvane {
namespace {

struct TRec {
    int64_t Key;
};

int KdCalls = 0;

int32_t CompareRecs(const void* a, const void* b) {
    return CompareSerNo(static_cast<const TRec*>(a)->Key, static_cast<const TRec*>(b)->Key);
}

int32_t CompareKey(const void* key, const void* rec) {
    ++KdCalls;
    return CompareSerNo(*static_cast<const int64_t*>(key), static_cast<const TRec*>(rec)->Key);
}

struct TreeFixture : ::testing::Test {
    std::vector<TTreeRec> pool;
    TTree tree;

    void MakePool(size_t n) {
        pool.assign(n, TTreeRec{});
        for (size_t i = 0; i + 1 < n; ++i)
            pool[i].Right = &pool[i + 1];
        tree.SetPool(n ? pool.data() : nullptr);
        tree.CompareDD = CompareRecs;
        tree.CompareKD = CompareKey;
    }

    std::vector<int64_t> InOrder() const {
        std::vector<int64_t> keys;
        for (TTreeRec* n = TTree::Leftmost(tree.Root); n; n = TTree::Successor(n))
            keys.push_back(static_cast<const TRec*>(n->Data)->Key);
        return keys;
    }

    // Parent links agree with child links everywhere.
    void CheckLinks(const TTreeRec* n, const TTreeRec* parent) const {
        if (!n)
            return;
        ASSERT_EQ(n->Parent, parent);
        CheckLinks(n->Left, n);
        CheckLinks(n->Right, n);
    }
};

TEST(CompareSerNo, HighWordSignedLowWordUnsigned) {
    EXPECT_EQ(CompareSerNo(5, 5), 0);
    EXPECT_EQ(CompareSerNo(-1, 0), -1);
    EXPECT_EQ(CompareSerNo(0, -1), 1);
    EXPECT_EQ(CompareSerNo(0xFFFFFFFF, 1), 1); // low word compared unsigned
    EXPECT_EQ(CompareSerNo(INT64_MIN, INT64_MAX), -1);
    EXPECT_EQ(CompareSerNo(0x100000000, 0xFFFFFFFF), 1);
}

TEST_F(TreeFixture, MissingComparisonsThrowAndChangeNothing) {
    MakePool(3);
    tree.CompareDD = nullptr;
    tree.CompareKD = nullptr;
    TRec r{1};
    int64_t key = 1;
    try {
        tree.Add(&r);
        FAIL();
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "Tree CompareDD function not assigned.");
    }
    try {
        tree.Find(&key);
        FAIL();
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "Tree CompareKD function not assigned.");
    }
    EXPECT_EQ(tree.Count, 0);
    EXPECT_EQ(tree.FreeCount, 3);
}

TEST_F(TreeFixture, EmptyTreeFindDoesNotCompare) {
    MakePool(2);
    KdCalls = 0;
    int64_t key = 7;
    EXPECT_EQ(tree.Find(&key), nullptr);
    EXPECT_EQ(KdCalls, 0);
}

TEST_F(TreeFixture, PoolExhaustionAndClear) {
    MakePool(3);
    TRec recs[4] = {{3}, {1}, {2}, {4}};
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(tree.Add(&recs[i]));
    EXPECT_FALSE(tree.Add(&recs[3]));
    EXPECT_EQ(tree.Count, 3);
    EXPECT_EQ(tree.FreeCount, 0);
    EXPECT_EQ(InOrder(), (std::vector<int64_t>{1, 2, 3}));
    tree.Clear();
    EXPECT_EQ(tree.Root, nullptr);
    EXPECT_EQ(tree.Count, 0);
    EXPECT_EQ(tree.FreeCount, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(tree.Add(&recs[i]));
}

TEST_F(TreeFixture, RemovingNodeWithTwoChildrenKeepsItFilingSuccessor) {
    MakePool(5);
    TRec recs[] = {{50}, {20}, {80}, {70}, {90}};
    for (auto& r : recs)
        tree.Add(&r);
    int64_t key = 50;
    TTreeRec* root = tree.Find(&key);
    ASSERT_EQ(root, tree.Root);
    int64_t succKey = 70;
    TTreeRec* succ = tree.Find(&succKey);
    tree.Remove(root);
    EXPECT_EQ(tree.Root, root);
    EXPECT_EQ(root->Data, &recs[3]);
    EXPECT_EQ(tree.FreeList, succ); // the successor's node went back to the pool
    EXPECT_EQ(tree.Find(&key), nullptr);
    EXPECT_EQ(InOrder(), (std::vector<int64_t>{20, 70, 80, 90}));
    CheckLinks(tree.Root, nullptr);
    tree.Remove(nullptr);
    EXPECT_EQ(tree.Count, 4);
}

TEST_F(TreeFixture, EqualKeysAreBothFiled) {
    MakePool(3);
    TRec a{5}, b{5};
    ASSERT_TRUE(tree.Add(&a));
    ASSERT_TRUE(tree.Add(&b));
    int64_t key = 5;
    EXPECT_EQ(tree.Find(&key)->Data, &a);
    EXPECT_EQ(tree.Root->Right->Data, &b);
    tree.Remove(tree.Find(&key));
    EXPECT_EQ(tree.Find(&key)->Data, &b);
}

TEST_F(TreeFixture, RandomizedAgainstMultiset) {
    constexpr size_t N = 300;
    MakePool(N);
    std::vector<TRec> recs(2000);
    std::mt19937_64 rng(42);
    for (auto& r : recs)
        r.Key = static_cast<int64_t>(rng() % 64) - 32 + (rng() % 2 ? INT64_C(0x100000000) : 0);
    std::multiset<int64_t> model;
    size_t next = 0;
    for (int step = 0; step < 3000; ++step) {
        if (rng() % 3 != 0 && next < recs.size()) {
            bool added = tree.Add(&recs[next]);
            ASSERT_EQ(added, model.size() < N);
            if (added)
                model.insert(recs[next].Key);
            ++next;
        } else if (!model.empty()) {
            int64_t key = recs[rng() % next].Key;
            TTreeRec* node = tree.Find(&key);
            ASSERT_EQ(node != nullptr, model.count(key) > 0);
            if (node) {
                tree.Remove(node);
                model.erase(model.find(key));
            }
        }
        ASSERT_EQ(tree.Count + tree.FreeCount, static_cast<int32_t>(N));
        ASSERT_EQ(tree.Count, static_cast<int32_t>(model.size()));
        if (step % 50 == 0) {
            ASSERT_EQ(InOrder(), std::vector<int64_t>(model.begin(), model.end()));
            CheckLinks(tree.Root, nullptr);
        }
    }
    ASSERT_EQ(InOrder(), std::vector<int64_t>(model.begin(), model.end()));
    int freeNodes = 0;
    for (TTreeRec* n = tree.FreeList; n; n = n->Right)
        ++freeNodes;
    EXPECT_EQ(freeNodes, tree.FreeCount);
}

} // namespace
} // namespace corvane
