// The log pane's text: the newest line on top, at most a capacity of lines, the oldest leaving
// from the bottom. Lines wait and go into the pane together in the frame's turn, with the list and
// the tree (TFramePace), as one insertion and one removal: the pane lays out and repaints once for
// a burst, and a line costs the same whether the pane holds ten lines or its most. Whatever reads
// the pane's text (printing, selecting all) flushes first.
#pragma once

#include <QObject>
#include <QString>
#include <deque>

class QPlainTextEdit;

namespace corvane {

class TLogPane {
public:
    TLogPane(QPlainTextEdit& edit, int capacity);

    void Prepend(const QString& line);
    // Puts the waiting lines into the pane now.
    void Flush();
    void Clear();
    // The lines in the pane and waiting for it, at most the capacity.
    int Lines() const;

private:
    void Insert();
    void RemoveOverflow();

    QPlainTextEdit& edit_;
    int capacity_;
    int shown_ = 0;               // lines in the pane
    std::deque<QString> waiting_; // oldest first, at most the capacity
    QObject asker_;               // asks the frame's turn for as long as the pane lives
};

} // namespace corvane
