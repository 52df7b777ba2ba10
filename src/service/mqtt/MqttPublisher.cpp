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
// How long an orderly end waits for the broker to take what was written before it.
constexpr auto kEndWait = 5s;

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

int Publish(mosquitto* client, const std::string& topic, const std::string& payload, bool retain, int* mid) {
    return mosquitto_publish(client, mid, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1,
                             retain);
}

// The two queues one connection sends: the day files' records and the journals' lines.
enum Stream : std::size_t { kRecords, kEvents, kStreams };

} // namespace

struct MqttPublisher::Connection {
    explicit Connection(const std::string& folder) : Days(folder), Journals(folder) {}

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
    // Each queue as it is read: the next place to send, and whether the last look found nothing more.
    integration::DayFileQueue Days;
    integration::JournalQueue Journals;
    std::array<integration::RecordKey, kStreams> Next;
    std::array<bool, kStreams> CaughtUp{};
    std::array<Steady::time_point, kStreams> LastLook{};
    double Tokens = 0; // records' only: the journal's lines are few, and paced by their share alone

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

MqttPublisher::MqttPublisher(MqttSettings settings, const common::Clock& clock)
    : settings_(std::move(settings)), clock_(clock) {
    state_.Problem = "connecting";
}

MqttPublisher::~MqttPublisher() {
    Stop();
}

void MqttPublisher::Start() {
    if (!thread_.joinable())
        thread_ = std::thread([this] { Run(); });
}

MqttLeftover MqttPublisher::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
    std::lock_guard lock(mutex_);
    return left_;
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
        Connection connection(settings_.ArchiveFolder);
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
            state_.Waiting = queue.Waiting(acked[kRecords], clock_.Today());
        }
        if (connection.Connected)
            backoff = 1s;
        if (!WaitFor(backoff))
            break;
        backoff = std::min<std::chrono::seconds>(backoff * 2, 10s);
    }
    const common::TDateTime today = clock_.Today();
    const MqttLeftover left{
        queue.Waiting(acked[kRecords], today),
        integration::JournalQueue(settings_.ArchiveFolder).Waiting(acked[kEvents], today)};
    std::lock_guard lock(mutex_);
    left_ = left;
}

void MqttPublisher::Serve(Connection& c) {
    const std::string statusTopic = integration::MqttTopic(settings_.Station, "status");
    c.Next = c.Acked;
    const auto started = Steady::now();
    auto lastSave = started, lastState = Steady::time_point{}, lastRefill = started;
    bool wasConnected = false;
    const double rate = settings_.RecordsPerSecond;
    while (Turn(c)) {
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
            Publish(c.Client, statusTopic, settings_.OnlineStatus, true, nullptr);
            std::lock_guard lock(mutex_);
            state_.Connected = true;
            state_.Problem.clear();
        }
        if (stopping_) {
            EndInOrder(c);
            return;
        }

        const bool poked = SendRetained(c);
        if (rate > 0) {
            c.Tokens = std::min(c.Tokens + rate * std::chrono::duration<double>(now - lastRefill).count(),
                                std::max(1.0, rate / 10));
            lastRefill = now;
        }
        // Caught up, the files are looked at again when something is appended, or each second.
        for (std::size_t s = 0; s < kStreams; ++s)
            if (c.CaughtUp[s] && (poked || now - c.LastLook[s] >= 1s))
                c.CaughtUp[s] = false;
        Fill(c, true);

        if (now - lastSave >= kCursorEvery && c.SaveCursors(settings_))
            lastSave = now;
        if (now - lastState >= 200ms) {
            const std::uint64_t waiting = c.Days.Waiting(c.Acked[kRecords], clock_.Today());
            std::lock_guard lock(mutex_);
            state_.Waiting = waiting;
            state_.Acknowledged += c.AckCount;
            c.AckCount = 0;
            lastState = now;
        }
    }
}

bool MqttPublisher::Turn(Connection& c) {
    const int rc = mosquitto_loop(c.Client, 20, 1);
    if (rc == MOSQ_ERR_SUCCESS && !c.Lost && !c.Refused)
        return true;
    std::lock_guard lock(mutex_);
    state_.Problem = c.Refused ? "" : Describe(rc == MOSQ_ERR_SUCCESS ? MOSQ_ERR_CONN_LOST : rc);
    return false;
}

bool MqttPublisher::SendRetained(Connection& c) {
    std::map<std::string, std::string> retained;
    bool poked = false;
    {
        std::lock_guard lock(mutex_);
        retained.swap(retained_);
        std::swap(poked, poked_);
    }
    for (const auto& [topic, payload] : retained)
        Publish(c.Client, topic, payload, true, nullptr);
    return poked;
}

void MqttPublisher::Fill(Connection& c, bool paced) {
    const std::array<std::string, kStreams> topics = {integration::MqttTopic(settings_.Station, "records"),
                                                      integration::MqttTopic(settings_.Station, "events")};
    const std::string gapTopic = integration::MqttTopic(settings_.Station, "gap");
    const auto now = Steady::now();
    const common::TDateTime clockNow = clock_.Now();
    const common::TDateTime today = common::DatePart(clockNow);
    const auto send = [&](Stream of, const std::string& topic, const std::string& payload,
                          const integration::RecordKey& after) {
        int mid = 0;
        if (Publish(c.Client, topic, payload, false, &mid) != MOSQ_ERR_SUCCESS)
            return false;
        c.Flight.push_back({mid, of, after, false});
        ++c.InFlightOf[of];
        c.Next[of] = after;
        return true;
    };
    // Fills the window from one queue while it has something, room within its share, and for paced
    // records tokens. A message the library refuses ends the round there; the queue goes on from it
    // the next time.
    const auto pump = [&](Stream of, std::size_t share, const char* placeName, const auto& read,
                          const auto items, const auto& payloadOf) {
        const bool pace = paced && of == kRecords && settings_.RecordsPerSecond > 0;
        while (!c.CaughtUp[of] && c.InFlightOf[of] < share && c.Flight.size() < kWindow &&
               (!pace || c.Tokens >= 1)) {
            const std::size_t room = std::min(kWindow - c.Flight.size(), share - c.InFlightOf[of]);
            const std::size_t want =
                pace ? std::min<std::size_t>(room, static_cast<std::size_t>(c.Tokens)) : room;
            const auto step = read(c.Next[of], want);
            const auto& gap = step.Gap;
            if (gap && !send(of, gapTopic,
                             integration::GapJson(settings_.Station, gap->From, gap->Missing, gap->Reason,
                                                  placeName),
                             step.Next))
                return;
            if ((step.*items).empty() && !gap) {
                c.CaughtUp[of] = true;
                c.LastLook[of] = now;
                return;
            }
            for (const auto& [key, item] : step.*items) {
                if (!send(of, topics[of], payloadOf(key, item), {key.Day, key.Index + 1}))
                    return;
                c.Tokens -= pace ? 1 : 0;
            }
        }
    };
    // The journal first, within its share: its few lines never wait behind a catch-up of records, and
    // never hold one up.
    pump(
        kEvents, kEventShare, "fromLine",
        [&](const integration::RecordKey& from, std::size_t max) {
            return c.Journals.Read(from, max, today);
        },
        &integration::JournalQueue::Step::Lines,
        [&](const integration::RecordKey& key, const std::string& line) {
            return integration::EventJson(settings_.Station, key, line);
        });
    pump(
        kRecords, kWindow, "fromIndex",
        [&](const integration::RecordKey& from, std::size_t max) { return c.Days.Read(from, max, today); },
        &integration::DayFileQueue::Step::Records,
        [&](const integration::RecordKey& key, const archive::TArhivRec& record) {
            const double age = (clockNow - (key.Day + record.Time)) * 86400.0;
            return integration::RecordJson(settings_.Station, key, record, age > kLiveSeconds);
        });
}

void MqttPublisher::EndInOrder(Connection& c) {
    // The files are looked at once more: the last append's poke may not have been seen. Unpaced, since
    // no tick waits any more.
    SendRetained(c);
    c.CaughtUp = {};
    for (const auto until = Steady::now() + kEndWait;
         !(c.CaughtUp[kRecords] && c.CaughtUp[kEvents] && c.Flight.empty()) && Steady::now() < until;) {
        Fill(c, false);
        if (!Turn(c))
            return; // the connection's will says the rest
    }
    const std::string statusTopic = integration::MqttTopic(settings_.Station, "status");
    Publish(c.Client, statusTopic, settings_.OfflineStatus, true, &c.OfflineMid);
    for (const auto until = Steady::now() + 1s; !c.OfflineAcked && Steady::now() < until;)
        if (!Turn(c))
            return;
    mosquitto_disconnect(c.Client);
    mosquitto_loop(c.Client, 20, 1);
}

} // namespace registrator::service
