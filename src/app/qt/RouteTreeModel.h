// The route tree's model: its nodes in one flat pool, the roots first, each model index carrying
// its node's position. Seen by RouteTree.cpp alone.
#pragma once

#include <QAbstractItemModel>
#include <QPointer>
#include <QTreeView>

#include <string>
#include <string_view>
#include <vector>

#include "app/TreeTexts.h"
#include "app/qt/AlertLook.h"
#include "store/Alerts.h"
#include "util/qt/FramePace.h"

namespace corvane {

namespace {

constexpr int32_t NoNode = -1;
constexpr int RootCount = 3;
constexpr std::array<std::string_view, RootCount> RootTexts = {"Entry Points", "Repeaters",
                                                               "Sensors"};
// Children of a sensor's node.
constexpr int StatisticsChild = 0;
constexpr int EntryChild = 1;
constexpr int RepeatChild = 2;

} // namespace

// The nodes in one pool, the roots first; a model index carries its node's position in the pool.
class TRouteTreeModel : public QAbstractItemModel {
public:
    TRouteTreeModel() { MakeRoots(); }

    QModelIndex index(int row, int column, const QModelIndex& parent) const override {
        if (column != 0 || row < 0)
            return {};
        const std::vector<int32_t>& kids = Kids(parent);
        if (row >= static_cast<int>(kids.size()))
            return {};
        return createIndex(row, 0, static_cast<quintptr>(kids[row]));
    }
    QModelIndex parent(const QModelIndex& child) const override {
        if (!child.isValid())
            return {};
        return IndexOf(nodes_[child.internalId()].Parent);
    }
    int rowCount(const QModelIndex& parent) const override {
        if (parent.isValid() && parent.column() != 0)
            return 0;
        return static_cast<int>(Kids(parent).size());
    }
    int columnCount(const QModelIndex&) const override { return 1; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid())
            return {};
        const TNode& n = nodes_[index.internalId()];
        if (role == Qt::DecorationRole)
            return n.Alert == TAlertState::Reporting ? QVariant() : AlertMark(n.Alert);
        if (role != Qt::DisplayRole)
            return AlertRoleData(n.Alert, role);
        return QString::fromLatin1(n.Text.data(), static_cast<qsizetype>(n.Text.size()));
    }

    void SetAlert(int32_t node, TAlertState state) {
        if (node == NoNode || nodes_[node].Alert == state)
            return;
        nodes_[node].Alert = state;
        const QModelIndex at = IndexOf(node);
        emit dataChanged(at, at, {Qt::DecorationRole, Qt::BackgroundRole, Qt::ForegroundRole});
    }

    void SetText(int32_t node, std::string_view text) {
        if (node == NoNode || nodes_[node].Text == text)
            return;
        nodes_[node].Text = text;
        const QModelIndex at = IndexOf(node);
        emit dataChanged(at, at, {Qt::DisplayRole});
    }

    QModelIndex IndexOf(int32_t node) const {
        if (node == NoNode)
            return {};
        return createIndex(nodes_[node].Row, 0, static_cast<quintptr>(node));
    }
    int32_t Child(int32_t node, int k) const {
        if (node == NoNode || k >= static_cast<int>(nodes_[node].Children.size()))
            return NoNode;
        return nodes_[node].Children[k];
    }

    // A new node with its lines (and, for a sensor, its groups) shown to the views in one step.
    int32_t AddNode(int32_t parent, std::string_view label, const TFourLines* lines,
                    bool sensorGroups = false) {
        const int at = static_cast<int>(nodes_[parent].Children.size());
        beginInsertRows(IndexOf(parent), at, at);
        const int32_t node = NewNode(parent, label);
        if (lines)
            AddLines(node, *lines);
        if (sensorGroups) {
            AddLines(NewNode(node, "Statistics"), NoStatsLines);
            NewNode(node, "Entry");
            NewNode(node, "Repeat");
        }
        endInsertRows();
        return node;
    }

    // Rewrites the four line children of a node, telling the views only when a text differs.
    void SetLines(int32_t node, const TFourLines& lines) {
        const std::vector<int32_t>& kids = nodes_[node].Children;
        if (kids.size() < lines.size())
            return;
        bool changed = false;
        for (size_t k = 0; k < lines.size(); ++k) {
            std::string& text = nodes_[kids[k]].Text;
            if (text != lines[k]) {
                text = lines[k];
                changed = true;
            }
        }
        if (changed && !nodes_[node].Dirty) {
            nodes_[node].Dirty = true;
            dirty_.push_back(node);
            PostFlush();
        }
    }

    // The views hear of changed lines once per frame (see TFramePace), and only where they show
    // them: a tree view looks for every changed cell among all the rows it has laid out, which for
    // a node nobody has expanded means searching them all for nothing. A node opened later shows
    // its lines as they are by then.
    void Flush() {
        flushPosted_ = false;
        for (const int32_t node : dirty_) {
            nodes_[node].Dirty = false;
            if (!Shown(node))
                continue;
            const std::vector<int32_t>& kids = nodes_[node].Children;
            emit dataChanged(IndexOf(kids.front()), IndexOf(kids[LineCount - 1]),
                             {Qt::DisplayRole});
        }
        dirty_.clear();
    }
    void AddView(QTreeView* view) { views_.emplace_back(view); }

    void Clear() {
        for (int32_t root = 0; root < RootCount; ++root) {
            const int n = static_cast<int>(nodes_[root].Children.size());
            if (n == 0)
                continue;
            beginRemoveRows(IndexOf(root), 0, n - 1);
            nodes_[root].Children.clear();
            endRemoveRows();
        }
        nodes_.resize(RootCount);
        dirty_.clear();
    }

private:
    struct TNode {
        int32_t Parent;
        int32_t Row;
        std::string Text;
        std::vector<int32_t> Children;
        TAlertState Alert = TAlertState::Reporting;
        bool Dirty = false; // its lines changed since the views last heard
    };
    static constexpr size_t LineCount = std::tuple_size_v<TFourLines>;

    void PostFlush() {
        if (flushPosted_)
            return;
        flushPosted_ = true;
        TFramePace::Instance().Ask(this, [this] { Flush(); });
    }
    // Whether some attached view shows the node's children: it and every node above it are
    // expanded there. Without a view every change is told.
    bool Shown(int32_t node) const {
        bool any = false;
        for (const QPointer<QTreeView>& view : views_) {
            if (!view)
                continue;
            any = true;
            bool open = true;
            for (int32_t n = node; n != NoNode && open; n = nodes_[n].Parent)
                open = view->isExpanded(IndexOf(n));
            if (open)
                return true;
        }
        return !any;
    }

    const std::vector<int32_t>& Kids(const QModelIndex& parent) const {
        return parent.isValid() ? nodes_[parent.internalId()].Children : roots_;
    }
    int32_t NewNode(int32_t parent, std::string_view text) {
        const int32_t id = static_cast<int32_t>(nodes_.size());
        std::vector<int32_t>& siblings = parent == NoNode ? roots_ : nodes_[parent].Children;
        nodes_.push_back(
            TNode{parent, static_cast<int32_t>(siblings.size()), std::string(text), {}, {}});
        // nodes_ may have moved: look the siblings up again.
        (parent == NoNode ? roots_ : nodes_[parent].Children).push_back(id);
        return id;
    }
    void AddLines(int32_t node, const TFourLines& lines) {
        for (std::string_view line : lines)
            NewNode(node, line);
    }
    void MakeRoots() {
        nodes_.reserve(4096);
        for (std::string_view text : RootTexts)
            NewNode(NoNode, text);
    }

    std::vector<TNode> nodes_;
    std::vector<int32_t> roots_;
    std::vector<int32_t> dirty_; // nodes whose lines changed, each once
    bool flushPosted_ = false;
    std::vector<QPointer<QTreeView>> views_;
};

} // namespace corvane
