#pragma once

#include "support/StationFakes.h"
#include "support/TempFolder.h"
#include "ui/app/ErrorBoxes.h"
#include "ui/app/Program.h"

namespace registrator::ui::testing {

using support::FixedStatusPort;
using support::FolderEnvironment;
using support::RecordingDialogs;

} // namespace registrator::ui::testing
