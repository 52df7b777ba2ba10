#pragma once

#include "ui/app/ErrorBoxes.h"

namespace registrator::bench {

// Boxes a benchmark must not wait on.
class SilentDialogs final : public service::DialogPresenter {
public:
    void ShowGeneralError(const QString&) override {}
    void ShowPortError(std::uint32_t) override {}
    void ShowOperatorMessage(const QString&) override {}
};

} // namespace registrator::bench
