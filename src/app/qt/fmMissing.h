// The missing list: the sensors, repeaters and entry points the history database knows but the
// store has let go, newest first. Read from the file each time it is shown, so that it is never
// older than its opening; a run that keeps no history says so instead.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <cstdint>
#include <string>
#include <vector>

#include "history/KnownRecords.h"
#include "util/untTime.h"

class QLabel;
class QPushButton;
class QTreeView;

namespace corvane {

class TMissingModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColKind, ColLabel, ColLastRead, ColAgo, ColUsualGap, ColRoute, ColumnCount };

    explicit TMissingModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
    // The records as read at the wall instant nowMs; their local times by the clock's zone.
    void SetRecords(std::vector<TKnownRecord> records, int64_t nowMs, const TClock& clock);
    const std::vector<TKnownRecord>& Records() const { return records_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString Text(const TKnownRecord& record, int column) const;

    std::vector<TKnownRecord> records_;
    int64_t nowMs_ = 0;
    std::vector<QString> lastRead_; // the last reads' local date-times, as shown
};

// Non-modal, so that the main window goes on showing what is heard while it is open.
class TfrmMissing : public QDialog {
    Q_OBJECT
public:
    explicit TfrmMissing(QWidget* parent = nullptr);

    // Where the history is (empty: the run keeps none), how old a last read must be to be gone,
    // and the clock that says now. Takes effect at the next Refresh.
    void SetSource(std::string path, int32_t maxAge, const TClock& clock);
    // Reads the file again.
    void Refresh();
    TMissingModel* Model() const { return model_; }

    QLabel* lblSummary = nullptr; // what is missing, that nothing is, or why nothing can be read
    QTreeView* lvMissing = nullptr;
    QPushButton* btnRefresh = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowProblem(const QString& text);

    TMissingModel* model_;
    std::string path_;
    int32_t maxAge_ = 0;
    const TClock* clock_ = nullptr;
};

// The window's missing list, made on first use as the window's child, brought up and read.
TfrmMissing* ShowMissing(QWidget& window, std::string path, int32_t maxAge, const TClock& clock);

} // namespace corvane
