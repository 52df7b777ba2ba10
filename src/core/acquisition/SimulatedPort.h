#pragma once

#include "acquisition/ConverterBank.h"
#include "acquisition/Plant.h"
#include "acquisition/PortAccess.h"

#include <memory>

namespace registrator::acquisition {

// A port whose register 0x20 leads to the converter bank instead of real hardware. Always ready;
// the other ports read as an empty bus.
class SimulatedPort final : public PortAccess {
public:
    // Fed by a plant of its own.
    SimulatedPort(const channels::UstavkiTable& ustavki, const common::Clock& clock, unsigned seed);
    // Fed by the given inputs.
    explicit SimulatedPort(ConverterInputs& inputs);

    bool IsReady() const override { return true; }
    std::uint8_t ReadRegister(std::uint8_t port, std::uint8_t reg) override;
    void WriteRegister(std::uint8_t port, std::uint8_t reg, std::uint8_t value) override;
    std::uint32_t LastError() const override { return 0; }
    std::string SimulationNote() const override;

    const ConverterBank& Bank() const { return bank_; }

private:
    std::unique_ptr<Plant> plant_;
    ConverterBank bank_;
};

} // namespace registrator::acquisition
