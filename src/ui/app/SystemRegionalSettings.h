#pragma once

#include "common/RegionalSettings.h"

#include <QLocale>

namespace registrator::ui {

// The decimal separator and date and time patterns of a locale, in the forms the core formats with.
// Time patterns lose any time zone and AM/PM part and count hours 0..23.
common::RegionalSettings RegionalSettingsOf(const QLocale& locale);

} // namespace registrator::ui
