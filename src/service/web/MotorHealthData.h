#pragma once

#include "reports/HealthTrend.h"
#include "service/web/ArchiveWork.h"

#include <memory>
#include <string>

namespace registrator::web {

// Days of each motor's trend in /health/motors.
constexpr int kHealthTrendDays = 90;

// Each motor's health as JSON: {"day","margin","recentDays","pastDays","days":["DD.MM.YYYY"...],
// "motors":[{"channel","section","name","flagged","flags":{"startSeconds":{"recent","past","flagged"},
// "startPeak","startsPerDay","runningCurrent"},"daily":{"starts":[...],...}}],"troubles"}; nulls where a
// day or a figure does not tell.
std::string MotorHealthJson(const reports::MotorHealth& health, const channels::UstavkiTable& names,
                            common::TDateTime lastDay, const reports::HealthRules& rules);

// /health/motors' work, off the GUI thread: the health days from the archive's cache (made where missing).
class MotorHealthData final : public ArchiveWork {
public:
    MotorHealthData(std::shared_ptr<reports::HealthArchive> archive, const channels::UstavkiTable& names,
                    common::TDateTime lastDay, reports::HealthRules rules);

    DayOpening Open() override { return DayOpening::Ready; }
    bool Next(std::string& out, const std::function<bool()>& stop) override;
    const std::string& Error() const override { return error_; }

private:
    std::shared_ptr<reports::HealthArchive> archive_;
    channels::UstavkiTable names_;
    common::TDateTime lastDay_;
    reports::HealthRules rules_;
    std::string error_;
};

} // namespace registrator::web
