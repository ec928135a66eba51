// The Close entries kept without a window: a connection's place among the open ones, as a bare
// line's entry point is reckoned from it.
#include <gtest/gtest.h>

#include <string>

#include "conn/CloseList.h"

using namespace corvane;

namespace {

class TFakeConn : public TConn {
public:
    std::string GetDescription() const override { return "Fake"; }
    bool Open() override { return true; }
    void Close() override {}
};

int PositionOf(const TConn& conn) {
    return conn.CloseItem != nullptr ? conn.CloseItem->Position() : -1;
}

} // namespace

TEST(CloseList, ConnectionsTakeTheirPlacesAsTheyOpenAndTheLaterOnesMoveUp) {
    TCloseList list;
    TFakeConn first, second, third;
    for (TFakeConn* conn : {&first, &second, &third})
        conn->OnStateChange = [&list](TConn& c, TConnState s) { list.StateChanged(c, s); };
    first.SetState(TConnState::Open);
    second.SetState(TConnState::Open);
    second.SetState(TConnState::Open); // opened again after a retry: still one entry
    third.SetState(TConnState::Open);
    EXPECT_EQ(list.Size(), 3);
    EXPECT_EQ(PositionOf(first), 0);
    EXPECT_EQ(PositionOf(second), 1);
    EXPECT_EQ(PositionOf(third), 2);

    first.SetState(TConnState::Close);
    EXPECT_EQ(PositionOf(first), -1);
    EXPECT_EQ(PositionOf(second), 0);
    EXPECT_EQ(PositionOf(third), 1);

    // A connection closed twice, or failing without an entry, takes nobody else's.
    first.SetState(TConnState::Close);
    third.SetState(TConnState::Error);
    EXPECT_EQ(list.Size(), 1);
    EXPECT_EQ(PositionOf(second), 0);
    first.SetState(TConnState::Open);
    EXPECT_EQ(PositionOf(first), 1);
}
