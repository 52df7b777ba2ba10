#include "service/mqtt/MqttPublisher.h"

#include "common/Clock.h"
#include "integration/DayFileQueue.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mosquitto.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif
#include <mutex>

namespace registrator::service {

namespace {

using Steady = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Records sent and not yet acknowledged at most; beyond it the files wait.
constexpr std::size_t kWindow = 100;
// A record older than this when it goes out is sent late: "historical".
constexpr double kLiveSeconds = 10;
constexpr auto kCursorEvery = 250ms;
constexpr auto kConnectTimeout = 10s;

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// A catch-up after a long outage may run flat out; the scan cycle on the other thread comes first.
void YieldToTheTick() {
#ifdef _WIN32
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
#else
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
#endif
}

std::string Describe(int rc) {
    if (rc == MOSQ_ERR_ERRNO)
        return std::strerror(errno);
    return mosquitto_strerror(rc);
}

} // namespace

struct MqttPublisher::Connection {
    struct InFlight {
        int Mid = 0;
        integration::RecordKey After; // the queue's place once this message is acknowledged
        bool Acked = false;
    };
    mosquitto* Client = nullptr;
    bool Connected = false;
    bool Lost = false;
    int Refused = 0; // the CONNACK code of a refusal
    std::deque<InFlight> Flight;
    integration::RecordKey Acked; // the first record not yet acknowledged
    bool AckedMoved = false;
    std::uint64_t AckCount = 0;
    int OfflineMid = -1;
    bool OfflineAcked = false;

    ~Connection() {
        if (Client)
            mosquitto_destroy(Client);
    }

    void Acknowledge(int mid) {
        if (mid == OfflineMid)
            OfflineAcked = true;
        for (InFlight& message : Flight)
            if (message.Mid == mid)
                message.Acked = true;
        // The cursor moves only over an unbroken run from the oldest, so it never passes a record
        // the broker has not taken.
        while (!Flight.empty() && Flight.front().Acked) {
            Acked = Flight.front().After;
            Flight.pop_front();
            AckedMoved = true;
            ++AckCount;
        }
    }
};

MqttPublisher::MqttPublisher(MqttSettings settings) : settings_(std::move(settings)) {
    state_.Problem = "connecting";
}

MqttPublisher::~MqttPublisher() {
    Stop();
}

void MqttPublisher::Start() {
    if (!thread_.joinable())
        thread_ = std::thread([this] { Run(); });
}

void MqttPublisher::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void MqttPublisher::Poke() {
    {
        std::lock_guard lock(mutex_);
        poked_ = true;
    }
}

void MqttPublisher::PublishRetained(const std::string& topic, std::string payload) {
    std::lock_guard lock(mutex_);
    retained_[topic] = std::move(payload);
}

MqttState MqttPublisher::State() const {
    std::lock_guard lock(mutex_);
    return state_;
}

bool MqttPublisher::WaitFor(std::chrono::milliseconds time) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, time, [this] { return stopping_.load(); });
}

void MqttPublisher::Run() {
    YieldToTheTick();
    InitLibrary();
    integration::DayFileQueue queue(settings_.ArchiveFolder);
    integration::RecordKey acked = integration::LoadPublishCursor(settings_.CursorPath)
                                       .value_or(integration::RecordKey{settings_.StartDay, 0});
    const std::string clientId = "registrator-" + settings_.Station;
    const std::string statusTopic = integration::MqttTopic(settings_.Station, "status");
    auto backoff = 1s;
    while (!stopping_) {
        Connection connection;
        connection.Acked = acked;
        connection.Client = mosquitto_new(clientId.c_str(), true, &connection);
        if (!connection.Client) {
            std::lock_guard lock(mutex_);
            state_.Problem = "the MQTT library could not make a client";
            break;
        }
        mosquitto* client = connection.Client;
        mosquitto_connect_callback_set(client, [](mosquitto*, void* self, int rc) {
            auto& c = *static_cast<Connection*>(self);
            if (rc == 0)
                c.Connected = true;
            else
                c.Refused = rc;
        });
        mosquitto_disconnect_callback_set(
            client, [](mosquitto*, void* self, int) { static_cast<Connection*>(self)->Lost = true; });
        mosquitto_publish_callback_set(client, [](mosquitto*, void* self, int mid) {
            static_cast<Connection*>(self)->Acknowledge(mid);
        });
        mosquitto_max_inflight_messages_set(client, kWindow + 8);
        mosquitto_will_set(client, statusTopic.c_str(), static_cast<int>(settings_.OfflineStatus.size()),
                           settings_.OfflineStatus.data(), 1, true);
        if (!settings_.User.empty())
            mosquitto_username_pw_set(client, settings_.User.c_str(), settings_.Password.c_str());
        int rc = MOSQ_ERR_SUCCESS;
        if (settings_.Tls) {
            // The system's certificate authorities, or those OpenSSL's own variables name.
            const char* file = std::getenv("SSL_CERT_FILE");
            const char* folder = std::getenv("SSL_CERT_DIR");
            rc = mosquitto_tls_set(client, file,
                                   file && !folder ? nullptr
                                   : folder        ? folder
                                                   : "/etc/ssl/certs",
                                   nullptr, nullptr, nullptr);
        }
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_connect_async(client, settings_.Host.c_str(), settings_.Port, 30);
        if (rc == MOSQ_ERR_SUCCESS) {
            Serve(connection);
        } else {
            std::lock_guard lock(mutex_);
            state_.Problem = Describe(rc);
        }
        acked = connection.Acked;
        if (connection.AckedMoved)
            integration::SavePublishCursor(settings_.CursorPath, acked);
        {
            std::lock_guard lock(mutex_);
            state_.Connected = false;
            if (connection.Refused)
                state_.Problem = mosquitto_connack_string(connection.Refused);
            else if (state_.Problem.empty())
                state_.Problem = "the connection to the broker was lost";
            state_.Waiting = queue.Waiting(acked);
        }
        if (connection.Connected)
            backoff = 1s;
        if (!WaitFor(backoff))
            break;
        backoff = std::min<std::chrono::seconds>(backoff * 2, 10s);
    }
}

void MqttPublisher::Serve(Connection& c) {
    integration::DayFileQueue queue(settings_.ArchiveFolder);
    common::SystemClock clock;
    const std::string recordsTopic = integration::MqttTopic(settings_.Station, "records");
    const std::string gapTopic = integration::MqttTopic(settings_.Station, "gap");
    const std::string statusTopic = integration::MqttTopic(settings_.Station, "status");
    integration::RecordKey next = c.Acked;
    const auto started = Steady::now();
    auto lastSave = started, lastLook = Steady::time_point{}, lastState = Steady::time_point{},
         lastRefill = started;
    bool caughtUp = false, wasConnected = false;
    double tokens = 0;
    const auto publish = [&](const std::string& topic, const std::string& payload, bool retain, int* mid) {
        return mosquitto_publish(c.Client, mid, topic.c_str(), static_cast<int>(payload.size()),
                                 payload.data(), 1, retain);
    };
    while (true) {
        const int rc = mosquitto_loop(c.Client, 20, 1);
        if (rc != MOSQ_ERR_SUCCESS || c.Lost || c.Refused) {
            std::lock_guard lock(mutex_);
            state_.Problem = c.Refused ? "" : Describe(rc == MOSQ_ERR_SUCCESS ? MOSQ_ERR_CONN_LOST : rc);
            return;
        }
        const auto now = Steady::now();
        if (!c.Connected) {
            if (now - started > kConnectTimeout) {
                std::lock_guard lock(mutex_);
                state_.Problem = "the broker did not answer";
                return;
            }
            if (stopping_)
                return;
            continue;
        }
        if (!wasConnected) {
            wasConnected = true;
            publish(statusTopic, settings_.OnlineStatus, true, nullptr);
            std::lock_guard lock(mutex_);
            state_.Connected = true;
            state_.Problem.clear();
        }
        if (stopping_) {
            // An orderly end: the offline status retained, and a moment for the acknowledgements.
            publish(statusTopic, settings_.OfflineStatus, true, &c.OfflineMid);
            const auto until = Steady::now() + 1s;
            while (Steady::now() < until && !(c.OfflineAcked && c.Flight.empty()) && !c.Lost &&
                   mosquitto_loop(c.Client, 20, 1) == MOSQ_ERR_SUCCESS) {
            }
            mosquitto_disconnect(c.Client);
            mosquitto_loop(c.Client, 20, 1);
            return;
        }

        std::map<std::string, std::string> retained;
        bool poked = false;
        {
            std::lock_guard lock(mutex_);
            retained.swap(retained_);
            std::swap(poked, poked_);
        }
        for (const auto& [topic, payload] : retained)
            publish(topic, payload, true, nullptr);

        const double rate = settings_.RecordsPerSecond;
        if (rate > 0) {
            tokens = std::min(tokens + rate * std::chrono::duration<double>(now - lastRefill).count(),
                              std::max(1.0, rate / 10));
            lastRefill = now;
        }
        // Caught up, the files are looked at again when a record is appended, or each second.
        if (caughtUp && (poked || now - lastLook >= 1s))
            caughtUp = false;
        while (!caughtUp && c.Flight.size() < kWindow && (rate <= 0 || tokens >= 1)) {
            const std::size_t room = kWindow - c.Flight.size();
            const std::size_t want =
                rate > 0 ? std::min<std::size_t>(room, static_cast<std::size_t>(tokens)) : room;
            integration::DayFileQueue::Step step = queue.Read(next, want);
            if (step.Gap) {
                int mid = 0;
                publish(gapTopic,
                        integration::GapJson(settings_.Station, step.Gap->From, step.Gap->Missing,
                                             step.Gap->Reason),
                        false, &mid);
                c.Flight.push_back({mid, step.Next, false});
            }
            if (step.Records.empty() && !step.Gap) {
                caughtUp = true;
                lastLook = now;
                break;
            }
            const common::TDateTime nowValue = clock.Now();
            for (const auto& [key, record] : step.Records) {
                const double age = (nowValue - (key.Day + record.Time)) * 86400.0;
                int mid = 0;
                if (publish(recordsTopic,
                            integration::RecordJson(settings_.Station, key, record, age > kLiveSeconds),
                            false, &mid) != MOSQ_ERR_SUCCESS)
                    break;
                c.Flight.push_back({mid, {key.Day, key.Index + 1}, false});
                tokens -= 1;
            }
            next = step.Next;
        }

        if (c.AckedMoved && now - lastSave >= kCursorEvery) {
            integration::SavePublishCursor(settings_.CursorPath, c.Acked);
            c.AckedMoved = false;
            lastSave = now;
        }
        if (now - lastState >= 200ms) {
            const std::uint64_t waiting = queue.Waiting(c.Acked);
            std::lock_guard lock(mutex_);
            state_.Waiting = waiting;
            state_.Acknowledged += c.AckCount;
            c.AckCount = 0;
            lastState = now;
        }
    }
}

} // namespace registrator::service
