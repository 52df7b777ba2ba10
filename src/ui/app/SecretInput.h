#pragma once

#include <string>
#include <vector>

namespace registrator::ui {

// Lines typed for a secret, one for each prompt: on a terminal (a console on Windows) each after its
// prompt, with echo off; from a pipe or a file, as scripts and tests give them, the next lines as they
// are, without prompts. Fewer lines than prompts when the input ends first.
std::vector<std::string> ReadSecretLines(const std::vector<std::string>& prompts);

// From here on the files this process makes can be read by its user only, temporary ones included
// (POSIX; Windows has no such bits).
void MakeNewFilesPrivate();

} // namespace registrator::ui
