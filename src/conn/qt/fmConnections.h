// The link quality of the open connections: a small window that lists every one with what became
// of its lines, and the status bar's share of rejected lines over the last minute.
#pragma once

#include <QAbstractTableModel>
#include <QObject>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "conn/LinkStats.h"

class QLabel;
class QTableView;
class QTimer;

namespace corvane {

class TConn;

// The open connections, in the order of their Close entries.
using TConnSource = std::function<std::vector<const TConn*>()>;

class TConnectionsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        ColConnection,
        ColReceived,
        ColPassed,
        ColShort,
        ColNoPacket,
        ColBadCrc,
        ColBadEntry,
        ColInvalid,
        ColDropped,
        ColPerMinute,
        ColState,
        ColumnCount
    };
    struct TRow {
        std::string Description;
        TLinkCounts Totals;
        TMinuteCounts Minute;
        std::string State; // TConn::GetLinkState
    };

    TConnectionsModel(TConnSource source, const TClock& clock, QObject* parent = nullptr);
    // Takes the figures of every open connection as they are now.
    void Refresh();
    const std::vector<TRow>& Rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TConnSource source_;
    const TClock& clock_;
    std::vector<TRow> rows_;
};

// Non-modal; refreshes itself once a second while it is shown.
class TfrmConnections : public QWidget {
    Q_OBJECT
public:
    TfrmConnections(TConnSource source, const TClock& clock, QWidget* parent = nullptr);
    TConnectionsModel* Model() const { return model_; }

    QTableView* lvConnections = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    TConnectionsModel* model_;
    QTimer* timer_;
};

// The main window's side: the window, made when first asked for, and the status bar label,
// which shows the rejected share of all open connections together and hides while it is 0.
class TLinkViews : public QObject {
    Q_OBJECT
public:
    TLinkViews(QWidget& window, QLabel& status, TConnSource source, const TClock& clock);
    void ShowWindow();
    TfrmConnections* Window() const { return frmConnections_; }
    // One tick of the label's timer.
    void ShowShare();

private:
    QWidget& window_;
    QLabel& status_;
    TConnSource source_;
    const TClock& clock_;
    TfrmConnections* frmConnections_ = nullptr;
};

// The last minute of every connection in the list together.
TMinuteCounts SumLastMinute(const std::vector<const TConn*>& conns, TDateTime now);

} // namespace corvane
