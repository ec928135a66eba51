// The list of the MQTT stations dialog: the stations a broker names, with their states, as a
// table of two columns. Names are 8-bit text and shown as such, never as markup.
#pragma once

#include <QAbstractTableModel>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "mqtt/StationRoll.h"

namespace corvane {

class TStationRollModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColStation, ColState, ColumnCount };

    explicit TStationRollModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // The first n events the subscriber handed over; rows come and change as they say.
    void Apply(const std::vector<TStationEvent>& events, size_t n);
    void Clear();
    // The station this run publishes as on the broker listed (empty: none); its state says so.
    void SetOwn(std::string name) { own_ = std::move(name); }
    const TStationRoll& Roll() const { return roll_; }
    // The station of a row, in Latin-1 as its topic names it.
    const std::string& Name(int row) const { return roll_.Entries()[size_t(row)].Name; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString StateText(const TStationRoll::TEntry& entry) const;

    TStationRoll roll_;
    std::string own_;
};

} // namespace corvane
