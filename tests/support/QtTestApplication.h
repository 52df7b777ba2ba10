#pragma once

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace registrator::support {

// One Qt application object for a whole test program, made before its first test and ended after
// its last: QCoreApplication where no window is needed, QApplication where one is.
template <class Application> class QtTestApplication final : public ::testing::Environment {
public:
    explicit QtTestApplication(std::string name, std::function<void(Application&)> prepare = {})
        : name_(std::move(name)), prepare_(std::move(prepare)) {}

    void SetUp() override {
        argv_[0] = name_.data();
        app_ = std::make_unique<Application>(argc_, argv_);
        if (prepare_)
            prepare_(*app_);
    }
    void TearDown() override { app_.reset(); }

private:
    std::string name_;
    std::function<void(Application&)> prepare_;
    // Qt keeps a reference to both for the application's life.
    int argc_ = 1;
    char* argv_[2] = {nullptr, nullptr};
    std::unique_ptr<Application> app_;
};

} // namespace registrator::support
