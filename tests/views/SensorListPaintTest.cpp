// What the sensor list paints when only a caption changes: the header once, not the rows. The
// Count caption changes with nearly every frame of a busy network, and a repaint of every row,
// and of the header a second time, doubled the window's painting.
#include <QApplication>
#include <QHeaderView>
#include <QTreeView>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include "app/qt/SensorListModel.h"
#include "store/ActivityStore.h"

using namespace corvane;

namespace {

class TPaintCount : public QObject {
public:
    explicit TPaintCount(QWidget* widget) { widget->installEventFilter(this); }
    int Count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++Count;
        return false;
    }
};

void Settle() {
    for (int turn = 0; turn < 5; ++turn) {
        QCoreApplication::processEvents();
        QTest::qWait(5);
    }
}

TEST(SensorListPaint, ACaptionChangeRepaintsTheHeaderOnceAndNotTheRows) {
    TManualClock clock{46000.0};
    TNullListener listener;
    std::unique_ptr<TStore> store = TStore::Create(clock, listener);
    TSensorListModel model{*store};
    QTreeView view;
    AttachSensorList(&view, &model);
    for (uint16_t row = 0; row < 20; ++row) {
        store->Sensors[row].SerNo = 0x100 + row;
        store->SensorCount = row + 1;
        char label[NameMax + 1];
        model.MakeRow(row, store->SensorLabel(row, label), "DualCounter");
    }
    model.ReadCountChanged(100);
    view.resize(600, 400);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    Settle();

    TPaintCount rows(view.viewport()), header(view.header()->viewport());
    for (int32_t reads = 101; reads <= 103; ++reads) {
        const int before = header.Count;
        model.ReadCountChanged(reads);
        EXPECT_TRUE(QTest::qWaitFor([&] { return header.Count > before; }, 5000));
        Settle();
    }
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "Count (103)");
    EXPECT_EQ(header.Count, 3);
    EXPECT_EQ(rows.Count, 0);
}

} // namespace
