#pragma once

#include "common/OperatorMessages.h"

#include <string>
#include <vector>

namespace registrator::support {

// Keeps the operator messages instead of showing them.
class RecordingMessages final : public common::OperatorMessages {
public:
    RecordingMessages() = default;
    // Also notes each message as "message:<text>" in a log the test shares with its other fakes, so
    // that it sees what came in which order.
    explicit RecordingMessages(std::vector<std::string>& events) : events_(&events) {}

    void Show(const std::string& text) override {
        Texts.push_back(text);
        if (events_)
            events_->push_back("message:" + text);
    }

    std::vector<std::string> Texts;

private:
    std::vector<std::string>* events_ = nullptr;
};

} // namespace registrator::support
