#include "service/mqtt/MqttPublisher.h"

#include "common/Clock.h"
#include "integration/DayFileQueue.h"
#include "integration/JournalQueue.h"

#include <array>
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

// Messages sent and not yet acknowledged at most; beyond it the files wait.
constexpr std::size_t kWindow = 100;
// Of those, journal lines at most: the rest is always there for the records.
constexpr std::size_t kEventShare = 10;
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

// The two queues one connection sends: the day files' records and the journals' lines.
enum Stream : std::size_t { kRecords, kEvents, kStreams };

} // namespace

struct MqttPublisher::Connection {
    struct InFlight {
        int Mid = 0;
        Stream Of = kRecords;
        integration::RecordKey After; // its queue's place once this message is acknowledged
        bool Acked = false;
    };
    mosquitto* Client = nullptr;
    bool Connected = false;
    bool Lost = false;
    int Refused = 0; // the CONNACK code of a refusal
    std::deque<InFlight> Flight;
    std::array<std::size_t, kStreams> InFlightOf{};
    std::array<integration::RecordKey, kStreams> Acked; // each queue's first place not yet acknowledged
    std::array<bool, kStreams> AckedMoved{};
    std::uint64_t AckCount = 0; // records only
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
        // The cursors move only over an unbroken run from the oldest, so neither passes a message
        // the broker has not taken.
        while (!Flight.empty() && Flight.front().Acked) {
            const InFlight& message = Flight.front();
            Acked[message.Of] = message.After;
            AckedMoved[message.Of] = true;
            --InFlightOf[message.Of];
            if (message.Of == kRecords)
                ++AckCount;
            Flight.pop_front();
        }
    }

    // The cursors that moved; true when there were any.
    bool SaveCursors(const MqttSettings& settings) {
        const std::array<const std::string*, kStreams> paths = {&settings.CursorPath,
                                                                &settings.EventsCursorPath};
        bool any = false;
        for (std::size_t s = 0; s < kStreams; ++s)
            if (AckedMoved[s]) {
                integration::SavePublishCursor(*paths[s], Acked[s]);
                AckedMoved[s] = false;
                any = true;
            }
        return any;
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
    const integration::RecordKey start{settings_.StartDay, 0};
    std::array<integration::RecordKey, kStreams> acked = {
        integration::LoadPublishCursor(settings_.CursorPath).value_or(start),
        integration::LoadPublishCursor(settings_.EventsCursorPath).value_or(start)};
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
        connection.SaveCursors(settings_);
        {
            std::lock_guard lock(mutex_);
            state_.Connected = false;
            if (connection.Refused)
                state_.Problem = mosquitto_connack_string(connection.Refused);
            else if (state_.Problem.empty())
                state_.Problem = "the connection to the broker was lost";
            state_.Waiting = queue.Waiting(acked[kRecords]);
        }
        if (connection.Connected)
            backoff = 1s;
        if (!WaitFor(backoff))
            break;
        backoff = std::min<std::chrono::seconds>(backoff * 2, 10s);
    }
}

void MqttPublisher::Serve(Connection& c) {
    integration::DayFileQueue days(settings_.ArchiveFolder);
    integration::JournalQueue journals(settings_.ArchiveFolder);
    common::SystemClock clock;
    const std::array<std::string, kStreams> topics = {integration::MqttTopic(settings_.Station, "records"),
                                                      integration::MqttTopic(settings_.Station, "events")};
    const std::string gapTopic = integration::MqttTopic(settings_.Station, "gap");
    const std::string statusTopic = integration::MqttTopic(settings_.Station, "status");
    std::array<integration::RecordKey, kStreams> next = c.Acked;
    const auto started = Steady::now();
    auto now = started, lastSave = started, lastState = Steady::time_point{}, lastRefill = started;
    std::array<Steady::time_point, kStreams> lastLook{};
    std::array<bool, kStreams> caughtUp{};
    double tokens = 0; // records' only: the journal's lines are few, and paced by their share alone
    bool wasConnected = false;
    const double rate = settings_.RecordsPerSecond;
    const auto publish = [&](const std::string& topic, const std::string& payload, bool retain, int* mid) {
        return mosquitto_publish(c.Client, mid, topic.c_str(), static_cast<int>(payload.size()),
                                 payload.data(), 1, retain);
    };
    const auto send = [&](Stream of, const std::string& topic, const std::string& payload,
                          const integration::RecordKey& after) {
        int mid = 0;
        if (publish(topic, payload, false, &mid) != MOSQ_ERR_SUCCESS)
            return false;
        c.Flight.push_back({mid, of, after, false});
        ++c.InFlightOf[of];
        next[of] = after;
        return true;
    };
    // Fills the window from one queue while it has something, room within its share, and for the
    // records tokens. A message the library refuses ends the round there; the queue goes on from it
    // the next time.
    const auto pump = [&](Stream of, std::size_t share, const char* placeName, const auto& read,
                          const auto items, const auto& payloadOf) {
        const bool paced = of == kRecords && rate > 0;
        while (!caughtUp[of] && c.InFlightOf[of] < share && c.Flight.size() < kWindow &&
               (!paced || tokens >= 1)) {
            const std::size_t room = std::min(kWindow - c.Flight.size(), share - c.InFlightOf[of]);
            const std::size_t want =
                paced ? std::min<std::size_t>(room, static_cast<std::size_t>(tokens)) : room;
            const auto step = read(next[of], want);
            const auto& gap = step.Gap;
            if (gap && !send(of, gapTopic,
                             integration::GapJson(settings_.Station, gap->From, gap->Missing, gap->Reason,
                                                  placeName),
                             step.Next))
                return;
            if ((step.*items).empty() && !gap) {
                caughtUp[of] = true;
                lastLook[of] = now;
                return;
            }
            for (const auto& [key, item] : step.*items) {
                if (!send(of, topics[of], payloadOf(key, item), {key.Day, key.Index + 1}))
                    return;
                tokens -= paced ? 1 : 0;
            }
        }
    };
    while (true) {
        const int rc = mosquitto_loop(c.Client, 20, 1);
        if (rc != MOSQ_ERR_SUCCESS || c.Lost || c.Refused) {
            std::lock_guard lock(mutex_);
            state_.Problem = c.Refused ? "" : Describe(rc == MOSQ_ERR_SUCCESS ? MOSQ_ERR_CONN_LOST : rc);
            return;
        }
        now = Steady::now();
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

        if (rate > 0) {
            tokens = std::min(tokens + rate * std::chrono::duration<double>(now - lastRefill).count(),
                              std::max(1.0, rate / 10));
            lastRefill = now;
        }
        // Caught up, the files are looked at again when something is appended, or each second.
        for (std::size_t s = 0; s < kStreams; ++s)
            if (caughtUp[s] && (poked || now - lastLook[s] >= 1s))
                caughtUp[s] = false;
        // The journal first, within its share: its few lines never wait behind a catch-up of
        // records, and never hold one up.
        pump(
            kEvents, kEventShare, "fromLine",
            [&](const integration::RecordKey& from, std::size_t max) { return journals.Read(from, max); },
            &integration::JournalQueue::Step::Lines,
            [&](const integration::RecordKey& key, const std::string& line) {
                return integration::EventJson(settings_.Station, key, line);
            });
        const common::TDateTime nowValue = clock.Now();
        pump(
            kRecords, kWindow, "fromIndex",
            [&](const integration::RecordKey& from, std::size_t max) { return days.Read(from, max); },
            &integration::DayFileQueue::Step::Records,
            [&](const integration::RecordKey& key, const archive::TArhivRec& record) {
                const double age = (nowValue - (key.Day + record.Time)) * 86400.0;
                return integration::RecordJson(settings_.Station, key, record, age > kLiveSeconds);
            });

        if (now - lastSave >= kCursorEvery && c.SaveCursors(settings_))
            lastSave = now;
        if (now - lastState >= 200ms) {
            const std::uint64_t waiting = days.Waiting(c.Acked[kRecords]);
            std::lock_guard lock(mutex_);
            state_.Waiting = waiting;
            state_.Acknowledged += c.AckCount;
            c.AckCount = 0;
            lastState = now;
        }
    }
}

} // namespace registrator::service
