#pragma once

#include "service/tls/WebTls.h"
#include "service/web/HttpConnection.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTimer>
#include <cstdint>
#include <memory>

namespace registrator::web {

// The listening socket of the web view and the keeper of its connections: it holds their number
// within bounds (the oldest idle one makes room), counts what is turned away and, every second, has
// each connection check its deadlines.
class WebListener : public QTcpServer {
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 256;
    static constexpr int kMaxStreams = 64;
    // So that one computer (a kiosk reloading in a loop, or a careless script) cannot take them all.
    static constexpr int kMaxStreamsPerClient = 8;

    // `handler` answers every request that passes the connection's judgement.
    explicit WebListener(HttpConnection::Handler handler, QObject* parent = nullptr);
    ~WebListener() override;

    // From now on every connection is TLS with this certificate, and nothing is served as plain HTTP.
    void EncryptWith(std::unique_ptr<const tls::WebTls> tls) { tls_ = std::move(tls); }

    // Whether `client` may open one more event stream.
    bool StreamRoom(const QHostAddress& client) const;
    int Connections() const { return static_cast<int>(connections_.size()); }
    int Streams() const;
    // Requests answered with a 4xx, here or by the web view, connections turned away and failed TLS
    // handshakes (a plain HTTP request among them).
    std::uint64_t Rejected() const { return rejected_; }
    void CountRejected() { ++rejected_; }

protected:
    void incomingConnection(qintptr handle) override;

private:
    bool EvictOldestIdle();
    void TurnAway(QTcpSocket* socket);
    void Forget(HttpConnection* connection);

    HttpConnection::Handler handler_;
    std::unique_ptr<const tls::WebTls> tls_; // null: plain HTTP
    QList<HttpConnection*> connections_;     // oldest first
    std::uint64_t rejected_ = 0;
    int turnedAway_ = 0; // 503s whose client may still be sending
    QElapsedTimer clock_;
    QTimer sweeper_;
};

} // namespace registrator::web
