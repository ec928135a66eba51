#include "util/untToken.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

std::vector<std::string> Pieces(std::string_view text, char sep = ',') {
    TToken t(text, sep);
    std::vector<std::string> out;
    for (size_t i = 1; i <= t.Count(); ++i)
        out.emplace_back(t.Token(static_cast<long>(i)));
    return out;
}

using V = std::vector<std::string>;

TEST(Token, EmptyPiecesKeepFieldPositions) {
    EXPECT_EQ(Pieces(""), V{});
    EXPECT_EQ(Pieces("a,b"), (V{"a", "b"}));
    EXPECT_EQ(Pieces("a,"), (V{"a", ""}));
    EXPECT_EQ(Pieces(","), (V{"", ""}));
    EXPECT_EQ(Pieces(",,x"), (V{"", "", "x"}));
    EXPECT_EQ(Pieces("5 , North"), (V{"5 ", " North"}));
    EXPECT_EQ(Pieces("a;b,c", ';'), (V{"a", "b,c"}));
}

TEST(Token, OutOfRangeIndexGivesEmptyText) {
    TToken t("5,North", ',');
    EXPECT_EQ(t.Token(0), "");
    EXPECT_EQ(t.Token(-7), "");
    EXPECT_EQ(t.Token(3), "");
    EXPECT_EQ(t.Token(2), "North");
    TToken empty("", ',');
    EXPECT_EQ(empty.Count(), 0u);
    EXPECT_EQ(empty.Token(1), "");
}

TEST(Token, NulSeparatorIsRejected) {
    try {
        TToken t("a", '\0');
        FAIL() << "no exception";
    } catch (const ETokenError& e) {
        EXPECT_STREQ(e.what(), "Invalid token separator specified [#0].");
    }
    TToken t("a;b", ';');
    EXPECT_THROW(t.SetSeparator('\0'), ETokenError);
    EXPECT_EQ(t.Separator(), ';');
    EXPECT_STREQ(ETokenError('\xE9').what(), "Invalid token separator specified [#233].");
}

TEST(Token, SetTextReplacesEarlierTokens) {
    TToken t("a,b,c,d", ',');
    t.SetText("x");
    EXPECT_EQ(t.Count(), 1u);
    EXPECT_EQ(t.Token(1), "x");
    EXPECT_EQ(t.Token(2), "");
    t.SetText("");
    EXPECT_EQ(t.Count(), 0u);
}

TEST(Token, SplitReusesListStorage) {
    std::vector<std::string> list;
    size_t count = 0;
    Split("first-long-piece,second-long-piece,third", ',', list, count);
    ASSERT_EQ(count, 3u);
    const std::string* data = list.data();
    const char* piece = list[0].data();
    Split("a,b", ',', list, count);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(list[0], "a");
    EXPECT_EQ(list[1], "b");
    EXPECT_EQ(list.data(), data);
    EXPECT_EQ(list[0].data(), piece);
}

} // namespace
} // namespace corvane
