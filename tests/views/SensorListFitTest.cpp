// The sensor list's columns are wide enough for whatever their cells can hold, in a proportional
// font, at the size the program starts with: no serial number is cut, whichever digits it has
// and whatever the screen's scale (the same test runs again at twice the scale).
#include <QApplication>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <gtest/gtest.h>

#include "app/qt/SensorListModel.h"
#include "store/ActivityStore.h"

using namespace corvane;

namespace {

// The delegate's own way of filling in a cell's style option, as it does before painting.
class TOptionOf : public QStyledItemDelegate {
public:
    QStyleOptionViewItem Of(const QTreeView& view, const QModelIndex& index) const {
        QStyleOptionViewItem option;
        option.initFrom(&view);
        option.font = view.font();
        option.fontMetrics = view.fontMetrics();
        option.decorationSize = view.iconSize();
        option.rect = view.visualRect(index);
        initStyleOption(&option, index);
        return option;
    }
};

// Whether the style draws the cell's text whole: its text area, less the margins the style
// keeps inside it, holds the text's exact width.
bool ShowsWhole(const QTreeView& view, const QModelIndex& index) {
    const QStyleOptionViewItem option = TOptionOf().Of(view, index);
    const QRect text = view.style()->subElementRect(QStyle::SE_ItemViewItemText, &option, &view);
    const int margin = view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    return QFontMetricsF(option.font).horizontalAdvance(option.text) <= text.width() - 2 * margin;
}

TEST(SensorListFit, EverySerialNumberShowsWhole) {
    TManualClock clock{46000.0};
    TNullListener listener;
    std::unique_ptr<TStore> store = TStore::Create(clock, listener);
    TSensorListModel model{*store};
    const char digits[] = "0123456789ABCDEF";
    for (uint16_t row = 0; row < 16; ++row) {
        // Every digit the same: 1111111111111111, ..., DDDDDDDDDDDDDDDD, ...
        uint64_t serial = 0;
        for (int k = 0; k < 16; ++k)
            serial = serial << 4 | row;
        store->Sensors[row].SerNo = int64_t(serial);
        store->SensorCount = row + 1;
        char label[NameMax + 1];
        model.MakeRow(row, store->SensorLabel(row, label), "DualCounter");
        model.UpdateRow(row, TRowTexts{store->SensorLabel(row, label), row % 2 == 0, "80000",
                                       "80000", "9999.99", "999999"});
    }
    for (const int pixels : {12, 15, 19}) {
        QTreeView view;
        QFont font("DejaVu Sans");
        font.setPixelSize(pixels);
        view.setFont(font);
        AttachSensorList(&view, &model);
        view.resize(1400, 600);
        view.show();
        model.Flush();
        QCoreApplication::processEvents();
        for (int r = 0; r < model.rowCount(); ++r) {
            const QModelIndex index = model.index(r, 0);
            EXPECT_TRUE(ShowsWhole(view, index))
                << index.data().toString().toStdString() << " at " << pixels << " px, scale "
                << qApp->devicePixelRatio() << " in a column of " << view.columnWidth(0);
            EXPECT_EQ(index.data().toString().size(), 16) << digits[r];
        }
        for (int c = 1; c < model.columnCount(); ++c)
            EXPECT_TRUE(ShowsWhole(view, model.index(0, c))) << "column " << c;
    }
}

} // namespace
