#include "UiTestSupport.h"

#include "support/QtTestApplication.h"

#include <QApplication>

namespace registrator::ui::testing {

namespace {
// One QApplication for the whole test program, offscreen.
[[maybe_unused]] auto* const environment = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return ::testing::AddGlobalTestEnvironment(new support::QtTestApplication<QApplication>(
        "ui_tests", [](QApplication& app) { app.setQuitOnLastWindowClosed(false); }));
}();
} // namespace

} // namespace registrator::ui::testing
