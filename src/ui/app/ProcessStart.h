#pragma once

namespace registrator::ui {

// What the process sets up before anything else, per platform: past a file-size limit a write fails
// like any other instead of killing the program (POSIX); a window program started from a console
// answers --help and its errors on that console (Windows).
void PrepareProcess();

} // namespace registrator::ui
