// The log pane's text: the newest line on top, at most a capacity of lines, the oldest leaving
// from the bottom. Lines wait and go into the pane together, at most once a frame (every
// FrameMs), as one insertion and one removal: the pane lays out and repaints once for a burst,
// and a line costs the same whether the pane holds ten lines or its most. Whatever reads the
// pane's text (printing, copying, selecting) flushes first.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <deque>

class QPlainTextEdit;

namespace corvane {

class TLogPane {
public:
    static constexpr int FrameMs = 16;

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
    QTimer timer_;
    QElapsedTimer sinceFlush_;
};

} // namespace corvane
