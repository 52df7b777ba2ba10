#include "ui/tuning/AboutWindow.h"

#include "common/Version.h"
#include "ui/tuning/DesignControls.h"

#include <QLabel>

namespace registrator::ui {

AboutWindow::AboutWindow(QWidget* parent) : QWidget(parent, kToolWindowFlags) {
    setObjectName(QStringLiteral("F_About"));
    setWindowTitle(QStringLiteral("о программе"));
    setFixedSize(441, 184);
    DesignLabel(this, "Label1", QStringLiteral("Расчёт коэффициентов уравнения "), 68, 36,
                SerifFont(19, true));
    // Which build a station runs, for the engineer comparing it with a package or a report.
    DesignLabel(this, "VersionLabel",
                QStringLiteral("версия ") + QString::fromLatin1(common::ProgramVersion()), 68, 120,
                SansFont(13, false));
}

void AboutWindow::ShowModeless() {
    ui::ShowModeless(*this);
}

} // namespace registrator::ui
