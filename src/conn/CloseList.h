// The window's Close submenu without a window: a connection takes an entry when it reports Open
// and leaves it when it reports Close (or Error), and the entries after it move up. The service
// keeps one, so that a bare line takes the entry point it would take in the window.
#pragma once

#include <memory>
#include <vector>

#include "conn/Conn.h"

namespace corvane {

class TCloseList {
public:
    TCloseList() = default;
    TCloseList(const TCloseList&) = delete;
    TCloseList& operator=(const TCloseList&) = delete;

    // What a connection's OnStateChange hands on.
    void StateChanged(TConn& conn, TConnState state);
    int Size() const { return int(entries_.size()); }

private:
    class TEntry : public TCloseItem {
    public:
        explicit TEntry(const TCloseList& list) : list_(list) {}
        int Position() const override;

    private:
        const TCloseList& list_;
    };

    std::vector<std::unique_ptr<TEntry>> entries_; // in the order the connections opened
};

} // namespace corvane
