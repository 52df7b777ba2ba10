#include "UiTestSupport.h"

#include <QApplication>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

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

TempFolder::TempFolder() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("registrator-ui-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace registrator::ui::testing
