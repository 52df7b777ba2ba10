#include "UiTestSupport.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace registrator::ui::testing {

namespace {
// One QApplication for the whole test program, offscreen.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "ui_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        app_->setQuitOnLastWindowClosed(false);
    }
    void TearDown() override { delete app_; }

private:
    QApplication* app_ = nullptr;
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);
} // namespace

} // namespace registrator::ui::testing
