#pragma once

#include "support/Browser.h"
#include "support/RunningPlant.h"
#include "support/WebClient.h"
#include "ui/app/Program.h"

#include <memory>

namespace registrator::web::testing {

// The whole program with its windows, for what the web view is held against.
class RunningProgram final : public RunningPlant {
public:
    explicit RunningProgram(quint16 webPort = 0);
    ~RunningProgram() override;
    ui::Program& Program() { return *program_; }

private:
    std::unique_ptr<ui::Program> program_;
};

} // namespace registrator::web::testing
