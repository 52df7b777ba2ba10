#pragma once

#include "acquisition/PortAccess.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace registrator::support {

struct PortAccessRecord {
    bool Write;
    std::uint8_t Port;
    std::uint8_t Reg;
    std::uint8_t Value;
};

// Records every register access in order. Status reads answer from `Status`, which sees the
// register value of the last control write.
class RecordingPort final : public acquisition::PortAccess {
public:
    RecordingPort() = default;
    RecordingPort(const RecordingPort&) = delete;
    RecordingPort& operator=(const RecordingPort&) = delete;
    // A port owned by the code under test tells the test when it is let go.
    ~RecordingPort() override {
        if (OnRelease)
            OnRelease();
    }

    bool IsReady() const override { return true; }
    std::uint8_t ReadRegister(std::uint8_t port, std::uint8_t reg) override {
        const std::uint8_t value = Status ? Status(lastControl_) : 0;
        Log.push_back({false, port, reg, value});
        return value;
    }
    void WriteRegister(std::uint8_t port, std::uint8_t reg, std::uint8_t value) override {
        if (reg == acquisition::kControlRegister)
            lastControl_ = value;
        Log.push_back({true, port, reg, value});
    }
    std::uint32_t LastError() const override { return 0; }

    // The accesses from `from` on, `count` of them (all by default), as "D80 C09 S" words: data
    // and control writes with their register values, status reads as S.
    std::string Trace(std::size_t from = 0, std::size_t count = std::string::npos) const {
        std::string text;
        for (std::size_t i = from; i < Log.size() && i - from < count; ++i) {
            const PortAccessRecord& r = Log[i];
            char word[8];
            if (!r.Write)
                std::snprintf(word, sizeof word, "S");
            else
                std::snprintf(word, sizeof word, "%c%02X", r.Reg == acquisition::kDataRegister ? 'D' : 'C',
                              r.Value);
            if (!text.empty())
                text += ' ';
            text += word;
        }
        return text;
    }

    std::function<std::uint8_t(std::uint8_t lastControl)> Status;
    std::vector<PortAccessRecord> Log;
    std::function<void()> OnRelease;

private:
    std::uint8_t lastControl_ = 0;
};

} // namespace registrator::support
