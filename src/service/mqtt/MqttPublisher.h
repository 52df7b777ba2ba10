#pragma once

#include "common/Clock.h"
#include "integration/MqttMessages.h"
#include "integration/StationStatus.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace registrator::service {

// --mqtt and its companions, as given.
struct MqttOptions {
    std::string Url; // empty: no publisher
    std::string Station;
    std::string CredentialsFile;
    double RecordsPerSecond = 200;
};

struct MqttSettings {
    std::string Host;
    int Port = 1883;
    bool Tls = false; // mqtts://, with the system's certificate authorities
    std::string Station;
    std::string User; // empty: no credentials
    std::string Password;
    double RecordsPerSecond = 200;  // 0: as fast as the broker takes them
    std::string ArchiveFolder;      // "Data/"
    std::string CursorPath;         // the broker's cursor file in the archive folder
    std::string EventsCursorPath;   // its cursor into the event journals, beside it
    common::TDateTime StartDay = 0; // where a first connection begins: this day's first record
    std::string OnlineStatus;       // the retained status at connect (JSON)
    std::string OfflineStatus;      // the connection's will, and what an orderly end publishes
};

// What the status strip, /health and the Modbus status registers show of the broker.
using MqttState = integration::BrokerStatus;

// What an orderly end left unacknowledged, for the next start to send.
struct MqttLeftover {
    std::uint64_t Records = 0;
    std::uint64_t Lines = 0; // of the event journals
};

// Publishes every readings record of the day files and every line of the event journals to an MQTT
// broker, each in order, QoS 1, from the place after its cursor on: the files are the queues, so an
// outage of any length loses nothing, and a cursor is written only once the broker has acknowledged.
// It runs on a thread of its own and reads the files, never the recorder's memory, so nothing it
// waits for holds up a tick; the clock it is given must be safe to read from there.
class MqttPublisher {
public:
    MqttPublisher(MqttSettings settings, const common::Clock& clock);
    ~MqttPublisher(); // ends as Stop does
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    void Start();
    // While connected, sends every record and journal line written so far and waits for the broker to
    // acknowledge them, for five seconds at most; then publishes the offline status, saves the cursors
    // and disconnects. What is left waits for the next start.
    MqttLeftover Stop();
    // A record or a journal line was appended: look at the files now rather than at the next second.
    void Poke();
    // A motor's retained message; only the latest per topic is kept until it is sent.
    void PublishRetained(const std::string& topic, std::string payload);

    MqttState State() const;

    struct Connection; // the library's client, what is in flight on it, and where its queues are

private:
    void Run();
    // One connection, from its connect to its end.
    void Serve(Connection& connection);
    // One round of the library's network loop; false, with the problem said, once the connection failed.
    bool Turn(Connection& connection);
    // The motors' retained messages set since the last; true when the files were poked meanwhile.
    bool SendRetained(Connection& connection);
    // Fills the window from both queues; `paced` holds the records to --mqtt-rate.
    void Fill(Connection& connection, bool paced);
    // An orderly end while connected: what was written before it, then the offline status.
    void EndInOrder(Connection& connection);
    bool WaitFor(std::chrono::milliseconds time); // false once stopping

    MqttSettings settings_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool poked_ = false;
    std::map<std::string, std::string> retained_;
    MqttState state_;
    MqttLeftover left_;
    const common::Clock& clock_;
};

// What an orderly end left, said on standard error; the end's journal line says it in the words
// returned ("" when nothing was left).
std::string SayLeftover(const MqttLeftover& left);

// The publisher's settings from the options, its cursors beside the day files in `archiveFolder`, one
// pair per broker; false, with `why` said, when the address or the credentials file will not do.
bool MqttSettingsFrom(const MqttOptions& options, const std::string& archiveFolder, MqttSettings& settings,
                      std::string& why);
// "mqtt://HOST[:PORT]" or "mqtts://HOST[:PORT]" into the settings; false when it is neither.
bool ParseMqttUrl(const std::string& url, MqttSettings& settings);
// A file holding "user:password", readable by its owner only; false with `error` said otherwise.
bool ReadMqttCredentials(const std::string& path, MqttSettings& settings, std::string& error);

} // namespace registrator::service
