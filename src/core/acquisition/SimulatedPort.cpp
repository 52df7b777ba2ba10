#include "acquisition/SimulatedPort.h"

namespace registrator::acquisition {

SimulatedPort::SimulatedPort(const channels::UstavkiTable& ustavki, const common::Clock& clock, unsigned seed)
    : plant_(std::make_unique<Plant>(ustavki, clock, seed)), bank_(*plant_) {}

SimulatedPort::SimulatedPort(ConverterInputs& inputs) : bank_(inputs) {}

std::uint8_t SimulatedPort::ReadRegister(std::uint8_t port, std::uint8_t reg) {
    if (port != kPort2 || reg > kControlRegister)
        return 0xFF;
    return bank_.ReadRegister(reg);
}

void SimulatedPort::WriteRegister(std::uint8_t port, std::uint8_t reg, std::uint8_t value) {
    if (port == kPort2)
        bank_.WriteRegister(reg, value);
}

std::string SimulatedPort::SimulationNote() const {
    return "имитация: токи модели, не с датчиков";
}

} // namespace registrator::acquisition
