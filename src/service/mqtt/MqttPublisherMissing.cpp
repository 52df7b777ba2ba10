#include "service/mqtt/MqttPublisher.h"

// Built without libmosquitto: the publisher says so and never connects.
namespace registrator::service {

struct MqttPublisher::Connection {};

MqttPublisher::MqttPublisher(MqttSettings settings, const common::Clock& clock)
    : settings_(std::move(settings)), clock_(clock) {
    state_.Problem = "this build has no MQTT library (libmosquitto)";
}
MqttPublisher::~MqttPublisher() = default;
void MqttPublisher::Start() {}
MqttLeftover MqttPublisher::Stop() {
    return left_;
}
void MqttPublisher::Poke() {}
void MqttPublisher::PublishRetained(const std::string&, std::string) {}
MqttState MqttPublisher::State() const {
    std::lock_guard lock(mutex_);
    return state_;
}
void MqttPublisher::Run() {}
void MqttPublisher::Serve(Connection&) {}
bool MqttPublisher::WaitFor(std::chrono::milliseconds) {
    return false;
}

} // namespace registrator::service
