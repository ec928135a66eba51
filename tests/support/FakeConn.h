// A connection with no transport under it, for tests that need a TConn to hand lines to or to
// list in the window: it opens at once and, like both transports, reports its close while Close
// runs. Each Close can be noted in a list of descriptions.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "conn/Conn.h"

namespace corvane::testing {

class TFakeConn : public TConn {
public:
    explicit TFakeConn(std::string description = "Fake", std::vector<std::string>* closed = nullptr)
        : description_(std::move(description)), closed_(closed) {}
    std::string GetDescription() const override { return description_; }
    bool Open() override { return true; }
    void Close() override {
        if (closed_)
            closed_->push_back(description_);
        SetState(TConnState::Close);
    }

private:
    std::string description_;
    std::vector<std::string>* closed_;
};

} // namespace corvane::testing
