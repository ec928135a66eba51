// The history window over the history database: the span choice, following new reads while it
// is shown, and Copy and Export of a span's rows, driven on a real file and the real monitor.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/AppIni.h"
#include "app/Monitor.h"
#include "app/qt/fmCorvDialogs.h"
#include "output/qt/TimelineStrip.h"
#include "output/qt/fmHist.h"
#include "support/HistoryDb.h"
#include "support/Packets.h"
#include "support/TempDir.h"

using namespace corvane;
using corvane::test::TDbRead;
using corvane::test::THistoryDb;
using corvane::testing::SensorLine;

namespace {

constexpr int64_t kMin = 60000;
constexpr int64_t kHour = 60 * kMin;
const TDateTime Noon = EncodeDateTime(2025, 6, 1, 12, 0, 0);

// Runs act on the next modal window, from inside that window's own loop.
void OnNextModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w)
            return;
        timer->stop();
        timer->deleteLater();
        act(w);
    });
    timer->start();
}

// Two reads of the sensor held by the store, and in the file this run (begun six hours ago)
// with reads of it over a week, an earlier run and another sensor's reads.
class HistorySpans : public ::testing::Test {
protected:
    TTempDir dir;
    std::string path = dir.Path() + "/corvane_history.db";
    THistoryDb db{path};
    TManualClock clock{Noon};
    TNullListener listener;
    TMonitor monitor{clock, listener};
    TStore& store = monitor.Store();
    int64_t run = 0;
    uint16_t row = 0;

    void SetUp() override {
        ASSERT_TRUE(Line(SensorLine(0x1234, ",7,North Gate", 'c')));
        clock.AdvanceSeconds(30);
        ASSERT_TRUE(Line(SensorLine(0x1234, ",7,North Gate")));
        row = store.FindSensor(0x1234);
        ASSERT_NE(row, NoRow);
        const int64_t now = WallToUnixMs(clock.WallNow());
        db.AddRun(now - 3 * 24 * kHour, now - 2 * 24 * kHour, now - 2 * 24 * kHour);
        run = db.AddRun(now - 6 * kHour, now, std::nullopt);
        const int64_t tank = db.AddSensor(0x1234, 60.0);
        const int64_t other = db.AddSensor(0x9999);
        const int64_t nord = db.AddName("N\xC3\xB6rd");
        // Newest first: three in the last hour, two more in the day, one three days back.
        for (int64_t ago :
             {int64_t{71 * kHour}, 5 * kHour, 90 * kMin, 40 * kMin, 20 * kMin, int64_t{50000}}) {
            TDbRead r;
            r.Run = ago > 6 * kHour ? 1 : run;
            r.Sensor = tank;
            r.WallMs = now - ago;
            r.MonoMs = r.Run == run ? 6 * kHour - ago : 3 * 24 * kHour - ago;
            r.Repeater = "c";
            r.Entry = 7;
            r.EntryName = nord;
            db.AddRead(r);
            r.Sensor = other;
            db.AddRead(r);
        }
    }
    bool Line(const std::string& line) { return monitor.ParsePacketLine(nullptr, line); }
    TRunMapping Mapping() const {
        TRunMapping m;
        m.CurrentRun = run;
        m.Now = clock.Now();
        m.CurrentStart = m.Now - 6 / 24.0;
        m.WallNowMs = WallToUnixMs(clock.WallNow());
        return m;
    }
    std::function<TRunMapping()> MappingNow() {
        return [this] { return Mapping(); };
    }
    static QStringList Row(const TfrmHist& form, int k) {
        QStringList cells;
        for (int c = 0; c < 4; ++c)
            cells << form.lvHist->topLevelItem(k)->text(c);
        return cells;
    }
    static bool Choosable(const TfrmHist& form, THistSpan span) {
        auto* model = static_cast<QStandardItemModel*>(form.cbSpan->model());
        return model->item(static_cast<int>(span))->isEnabled();
    }
};

TEST_F(HistorySpans, TheSpanChoiceSwitchesTheRowsAndTheTimeline) {
    TfrmHist form;
    form.SetHistoryFile(path, MappingNow());
    form.LoadSensor(store, row);
    form.show();
    EXPECT_EQ(form.cbSpan->currentText(), "Reads held");
    ASSERT_EQ(form.lvHist->topLevelItemCount(), 2);
    const QStringList heldTop = Row(form, 0);
    EXPECT_EQ(heldTop, (QStringList{"06/01 12:00:30", "0", "", "North Gate"}));

    form.cbSpan->setCurrentIndex(1);
    EXPECT_EQ(form.Span(), THistSpan::LastHour);
    ASSERT_EQ(form.lvHist->topLevelItemCount(), 3);
    EXPECT_EQ(Row(form, 0), (QStringList{"06/01 11:59:40", "50", "c", QString::fromUtf8("Nörd")}));
    EXPECT_EQ(Row(form, 1)[1], "1150");
    EXPECT_EQ(form.tlHist->Bins().Counted, 3);
    EXPECT_EQ(form.tlHist->Bins().SpanMs, kHour);
    EXPECT_TRUE(form.tlHist->Bins().NotListening.empty()) << "this run listened all the hour";

    const std::vector<std::pair<THistSpan, int>> counts{
        {THistSpan::LastDay, 5}, {THistSpan::LastWeek, 6}, {THistSpan::Everything, 6}};
    for (auto [span, count] : counts) {
        form.SetSpan(span);
        EXPECT_EQ(form.lvHist->topLevelItemCount(), count)
            << form.cbSpan->currentText().toStdString();
        EXPECT_EQ(form.History().Rows.size(), static_cast<size_t>(count));
        EXPECT_EQ(form.tlHist->Bins().Counted, count);
    }
    // Over the week no run listened before the earlier one, nor between the two.
    form.SetSpan(THistSpan::LastWeek);
    EXPECT_EQ(form.tlHist->Bins().NotListening.size(), 2u);

    form.SetSpan(THistSpan::Held);
    EXPECT_EQ(form.lvHist->topLevelItemCount(), 2);
    EXPECT_EQ(Row(form, 0), heldTop);

    // Without a file only the reads held can be chosen; a span chosen goes back to them.
    form.SetSpan(THistSpan::LastDay);
    form.SetHistoryFile(dir.Path() + "/none.db");
    EXPECT_FALSE(Choosable(form, THistSpan::LastDay));
    EXPECT_TRUE(Choosable(form, THistSpan::Held));
    EXPECT_EQ(form.Span(), THistSpan::Held);
    EXPECT_EQ(form.lvHist->topLevelItemCount(), 2);
    form.SetHistoryFile(path, MappingNow());
    EXPECT_TRUE(Choosable(form, THistSpan::Everything));
}

// A file that is there but cannot be read says so on the timeline and shows no rows.
TEST_F(HistorySpans, AnUnreadableFileIsNamedOnTheTimeline) {
    const std::string junk = dir.Path() + "/junk.db";
    std::ofstream(junk) << std::string(4096, 'x');
    TfrmHist form;
    form.SetHistoryFile(junk, MappingNow());
    form.LoadSensor(store, row);
    form.SetSpan(THistSpan::LastDay);
    EXPECT_EQ(form.lvHist->topLevelItemCount(), 0);
    EXPECT_TRUE(form.tlHist->Note().startsWith("History database: "))
        << form.tlHist->Note().toStdString();
    form.SetSpan(THistSpan::Held);
    EXPECT_TRUE(form.tlHist->Note().isEmpty());
    EXPECT_EQ(form.lvHist->topLevelItemCount(), 2);
}

// Opened from the main window's dialogs, the window follows its sensor's new reads while it is
// shown, and hears of none once closed.
TEST_F(HistorySpans, ItFollowsNewReadsOfItsSensorWhileShown) {
    QWidget main;
    TRunSettings settings;
    TCorvDialogs dialogs(&main, monitor, settings);
    dialogs.SetHistoryFile(path, MappingNow());
    auto* form = main.findChild<TfrmHist*>();
    form->SetSpan(THistSpan::LastDay);
    bool checked = false;
    OnNextModal([&](QWidget* w) {
        ASSERT_EQ(w, form);
        ASSERT_EQ(form->lvHist->topLevelItemCount(), 5);
        form->lvHist->setCurrentItem(form->lvHist->topLevelItem(2));
        const QStringList chosen = Row(*form, 2);
        clock.AdvanceSeconds(60);
        Line(SensorLine(0x5555, ",7,North Gate"));
        Line(SensorLine(0x1234, ",8,West", 'c', 1));
        QApplication::processEvents();
        ASSERT_EQ(form->lvHist->topLevelItemCount(), 6);
        EXPECT_EQ(Row(*form, 0), (QStringList{"06/01 12:01:30", "0", "c", "West"}));
        EXPECT_EQ(Row(*form, 1)[1], "110") << "the old top's gap, to the new read";
        EXPECT_EQ(Row(*form, 3), chosen);
        EXPECT_EQ(form->lvHist->currentItem(), form->lvHist->topLevelItem(3));
        EXPECT_TRUE(form->lvHist->topLevelItem(3)->isSelected());
        EXPECT_EQ(form->tlHist->Bins().Counted, 6);
        // Its echo a moment later, through another route, is flagged as the statistics count it.
        clock.AdvanceSeconds(1);
        Line(SensorLine(0x1234, ",7,North Gate", '\0', 1));
        QApplication::processEvents();
        ASSERT_EQ(form->lvHist->topLevelItemCount(), 7);
        EXPECT_TRUE(form->History().Rows[0].Dup);
        EXPECT_EQ(form->tlHist->Bins().Dups, 1);
        checked = true;
        form->reject();
    });
    dialogs.ShowHistory(row);
    EXPECT_TRUE(checked);
    Line(SensorLine(0x1234, ",8,West"));
    QApplication::processEvents();
    EXPECT_TRUE(form->History().Rows.empty());
}

TEST_F(HistorySpans, CopyAndExportTakeTheChosenSpan) {
    TfrmHist form;
    form.SetHistoryFile(path, MappingNow());
    form.LoadSensor(store, row);
    form.show();
    form.SetSpan(THistSpan::LastDay);
    form.lvHist->selectAll();
    form.CopyClick();
    const QStringList lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], QString::fromUtf8("06/01 11:59:40\t50\tc\tNörd"));
    EXPECT_EQ(lines[4], QString::fromUtf8("06/01 07:00:30\t12600\tc\tNörd"));

    const std::string csv = dir.Path() + "/span.csv";
    form.ChooseFile = [&](QWidget*, const QString&) { return QString::fromStdString(csv); };
    form.ExportClick();
    std::ifstream in(csv, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
    EXPECT_NE(text.find("\"06/01/25 11:59:40\",50,\"c\",\"N\xF6rd\"\r\n"), std::string::npos)
        << text;
}

} // namespace
