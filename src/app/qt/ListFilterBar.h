// The search field and the state choice above the sensor list. Rows that do not match are
// hidden in the list's view and nothing more: the model keeps every row, so the captions, the
// order and the rows' texts are those of the whole store, and whatever works on the view's rows
// (selection, double click, the History command) works on what is shown.
#pragma once

#include <QWidget>

#include <cstdint>

#include "app/ListFilter.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QTreeView;

namespace corvane {

class TSensorListModel;
class TStore;

class TListFilterBar : public QWidget {
    Q_OBJECT
public:
    // The list must be attached to the model already; both must outlive the bar.
    TListFilterBar(const TStore& store, QTreeView* list, TSensorListModel* model,
                   QWidget* parent = nullptr);

    // Shows and hides every row by the filter as it stands. Called for every change of the
    // field or the choice, and whenever the list's rows have been repainted, since a label or a
    // state may have changed with them.
    void Apply();
    const TListFilter& Filter() const { return filter_; }
    // Rows of the list that are shown now.
    int ShownCount() const;

    QLineEdit* edtFilter;
    QComboBox* cbxState;
    QLabel* lblShown;   // "<n> of <m> sensors shown" while a filter is on
    QLabel* lblNoMatch; // "No sensor matches", in the list's place

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void TakeText(const QString& text);
    // Hides the freshly inserted model rows first to last that do not match.
    void ApplyRows(int first, int last);
    // A selected sensor that stopped matching is no longer selected.
    void DropHiddenSelection();
    // The count beside the field and the word in the list's place, for shown of all rows.
    void ShowCount(int shown, int all);

    const TStore& store_;
    QTreeView* list_;
    TSensorListModel* model_;
    TListFilter filter_;
    bool anyHidden_ = false;
};

// Puts the bar above the list in one pane, which is returned (the bar and the list become its
// children). Ctrl+F anywhere in the window focuses the field; Escape in the field or the list
// empties it.
QWidget* StackFilterOverList(TListFilterBar* bar, QTreeView* list);

} // namespace corvane
