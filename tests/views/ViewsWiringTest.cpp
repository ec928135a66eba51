// The sensor list and the route tree, wired to the store as in the window, show exactly the texts
// the store's tests read from the recording listener: each view makes its own texts, and the
// wiring loses, doubles or mixes up none of them, nor what stays frozen between expiry ticks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Monitor.h"
#include "app/qt/RouteTree.h"
#include "app/qt/SensorListModel.h"
#include "support/Packets.h"
#include "support/RecordingListener.h"

using namespace corvane;
using corvane::testing::SensorLine;
using corvane::testing::TRecordingListener;

namespace {

using Texts = std::vector<std::string>;

class ViewsWiring : public ::testing::Test {
protected:
    TManualClock clock{46000.0};
    TNullShellListener shell;
    TSensorListModel list;
    TRouteTree tree;
    TMonitor shown{clock, {shell, list, tree}};
    TRecordingListener heard;
    TMonitor recorded{clock, heard};

    void Feed(const std::string& line, double afterSec) {
        clock.AdvanceSeconds(afterSec);
        ASSERT_TRUE(shown.ParsePacketLine(nullptr, line));
        ASSERT_TRUE(recorded.ParsePacketLine(nullptr, line));
    }
    void Tick(double afterSec) {
        clock.AdvanceSeconds(afterSec);
        shown.ExpireTick();
        recorded.ExpireTick();
    }
    static std::string Text(const QModelIndex& i) { return i.data().toString().toStdString(); }
    static Texts Children(const QModelIndex& parent) {
        Texts t;
        for (int r = 0; r < parent.model()->rowCount(parent); ++r)
            t.push_back(Text(parent.model()->index(r, 0, parent)));
        return t;
    }

    void ExpectSame() {
        list.Flush();
        ASSERT_EQ(list.rowCount(), static_cast<int>(heard.Rows.size()));
        EXPECT_EQ(list.headerData(0, Qt::Horizontal).toString().toStdString(), heard.Captions[0]);
        EXPECT_EQ(list.headerData(2, Qt::Horizontal).toString().toStdString(), heard.Captions[2]);
        for (const auto& [row, r] : heard.Rows) {
            const Texts cells = {r.Label, r.Kind, r.Count, r.Dups, r.RunAvg, r.Age};
            for (int c = 0; c < 6; ++c)
                EXPECT_EQ(list.CellText(row, c).toStdString(), cells[c]) << row << "/" << c;
            EXPECT_EQ(list.IsMarked(row), r.Marked);
            char buffer[16];
            EXPECT_EQ(list.CellText(row, RoutesColumn).toStdString(),
                      std::string(shown.Store().RoutesText(row, buffer)));
        }
        for (const auto& [key, label] : heard.OwnerNodes) {
            const QModelIndex node = tree.OwnerIndex(static_cast<TOwnerKind>(key.first),
                                                     static_cast<uint8_t>(key.second));
            EXPECT_EQ(Text(node), label);
            EXPECT_EQ(Children(node), heard.Activity.at(key)) << label;
        }
        for (const auto& [row, label] : heard.SensorNodes) {
            const QModelIndex node = tree.SensorIndex(row);
            EXPECT_EQ(Text(node), label);
            EXPECT_EQ(Children(node.model()->index(0, 0, node)), heard.Stats(row)) << label;
            for (TOwnerKind kind : {TOwnerKind::Entry, TOwnerKind::Repeat}) {
                const QModelIndex group =
                    node.model()->index(kind == TOwnerKind::Entry ? 1 : 2, 0, node);
                const auto shownSlots = heard.SlotNodes.find({row, int(kind)});
                EXPECT_EQ(Children(group),
                          shownSlots == heard.SlotNodes.end() ? Texts{} : shownSlots->second);
                const TStatsGroup g =
                    kind == TOwnerKind::Entry ? TStatsGroup::Entry : TStatsGroup::Repeat;
                for (int k = 0; k < node.model()->rowCount(group); ++k)
                    EXPECT_EQ(Children(node.model()->index(k, 0, group)), heard.Stats(row, g, k))
                        << label << " slot " << k;
            }
        }
    }
};

TEST_F(ViewsWiring, ListAndTreeShowWhatTheStoreReports) {
    // Sensors through two entry points and two repeaters, one named later, with duplicates.
    Feed(SensorLine(1, ",1,North Gate", 'b'), 0);
    ExpectSame();
    Feed(SensorLine(2, ",2,South"), 3);
    Feed(SensorLine(1, ",2,South", 'c'), 4);
    Feed(SensorLine(1, ",1,North Gate", 'b'), 0); // a duplicate
    Feed(SensorLine(3, ",1,North Gate,Tank 7", 'c'), 20);
    Feed(SensorLine(2, ",2,South,Well"), 61);
    ExpectSame();

    // Ageing moves Age and Run Avg; a read of one sensor leaves the others' ages as they were.
    Tick(90);
    ExpectSame();
    Feed(SensorLine(3, ",1,North Gate,Tank 7", 'b'), 40);
    ExpectSame();

    // Expiry takes reads off the chains and the activity counts down.
    shown.Store().Settings.MaxAge = 100;
    recorded.Store().Settings.MaxAge = 100;
    Tick(30);
    ExpectSame();
}

} // namespace
