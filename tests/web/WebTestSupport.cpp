#include "WebTestSupport.h"

namespace registrator::web::testing {

RunningProgram::RunningProgram(quint16 webPort) : RunningPlant({}) {
    program_ = std::make_unique<ui::Program>(Environment());
    program_->ServeWeb(QStringLiteral("127.0.0.1"), webPort);
    program_->Start();
    Started(program_->Station());
}

RunningProgram::~RunningProgram() {
    program_->Shutdown();
}

} // namespace registrator::web::testing
