#include "service/modbus/ModbusServer.h"

// A build without libmodbus: the server refuses to start and says why.
namespace registrator::service {

struct ModbusServer::Context {};

ModbusServer::ModbusServer() : ModbusServer(Limits{}) {}
ModbusServer::ModbusServer(Limits limits) : limits_(limits) {}
ModbusServer::~ModbusServer() = default;

bool ModbusServer::Listen(const std::string&, std::uint16_t, int, std::string& error) {
    error = "the Modbus server is not part of this build (it was built without libmodbus)";
    return false;
}

void ModbusServer::Publish(const integration::ModbusImage&) {}

} // namespace registrator::service
