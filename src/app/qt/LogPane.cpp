#include "app/qt/LogPane.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "util/qt/FramePace.h"
#include "util/qt/PaintCache.h"

namespace corvane {

TLogPane::TLogPane(QPlainTextEdit& edit, int capacity) : edit_(edit), capacity_(capacity) {
    // Once the pane is full its scroll bar looks the same after every burst, yet it is painted
    // with the text each time: a copy of what the style painted does.
    edit_.setVerticalScrollBar(new TCachedScrollBar(Qt::Vertical));
}

void TLogPane::Prepend(const QString& line) {
    waiting_.push_back(line);
    // Lines that could never be seen are not kept waiting.
    if (static_cast<int>(waiting_.size()) > capacity_)
        waiting_.pop_front();
    TFramePace::Instance().Ask(&asker_, [this] { Flush(); });
}

int TLogPane::Lines() const {
    return std::min(capacity_, shown_ + static_cast<int>(waiting_.size()));
}

void TLogPane::Flush() {
    if (waiting_.empty())
        return;
    Insert();
    RemoveOverflow();
    // A line is a block of the document (a text of several lines counts as several).
    shown_ = edit_.document()->blockCount();
}

// The waiting lines, newest first, in one edit at the top.
void TLogPane::Insert() {
    QString text;
    for (auto line = waiting_.rbegin(); line != waiting_.rend(); ++line) {
        if (line != waiting_.rbegin())
            text += QChar::ParagraphSeparator;
        text += *line;
    }
    QTextCursor top(edit_.document()); // a fresh cursor stands at the start
    top.beginEditBlock();
    top.insertText(text);
    if (shown_ > 0)
        top.insertBlock();
    top.endEditBlock();
    waiting_.clear();
}

// The lines past the capacity, with the break before the first of them, in one edit.
void TLogPane::RemoveOverflow() {
    QTextDocument* doc = edit_.document();
    if (doc->blockCount() <= capacity_)
        return;
    const QTextBlock keptLast = doc->findBlockByNumber(capacity_ - 1);
    QTextCursor cursor(doc);
    cursor.setPosition(keptLast.position() + keptLast.length() - 1);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void TLogPane::Clear() {
    waiting_.clear();
    edit_.clear();
    shown_ = 0;
}

} // namespace corvane
