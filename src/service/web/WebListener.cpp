#include "service/web/WebListener.h"

#include "service/web/NativeSocket.h"

#include <QTcpSocket>
#include <algorithm>
#include <memory>
#include <utility>

namespace registrator::web {

namespace {

// Newcomers turned away with 503 whose requests are still read: more at once are closed at once.
constexpr int kMaxTurnedAway = 64;
constexpr int kTurnedAwayMs = 2000;

} // namespace

WebListener::WebListener(HttpConnection::Handler handler, QObject* parent)
    : QTcpServer(parent), handler_(std::move(handler)) {
    clock_.start();
    setListenBacklogSize(128);
    sweeper_.setInterval(1000);
    connect(&sweeper_, &QTimer::timeout, this, [this] {
        // A copy: a connection its check closes leaves the list as it goes.
        const QList<HttpConnection*> all = connections_;
        for (HttpConnection* connection : all)
            connection->CheckDeadlines();
    });
    sweeper_.start();
}

WebListener::~WebListener() {
    // Before the handler they answer through goes.
    const QList<HttpConnection*> all = std::exchange(connections_, {});
    for (HttpConnection* connection : all) {
        disconnect(connection, nullptr, this, nullptr);
        delete connection;
    }
}

void WebListener::incomingConnection(qintptr handle) {
    QTcpSocket* socket = nullptr;
    if (tls_) {
        // The handshake runs in the socket; the connection reads only what comes through it.
        socket = tls_->Accept(handle, this, [this] { CountRejected(); });
    } else {
        socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(handle)) {
            delete socket;
            socket = nullptr;
        }
    }
    if (!socket)
        return;
    if (connections_.size() >= kMaxConnections && !EvictOldestIdle())
        return TurnAway(socket);
    auto* connection = new HttpConnection(socket, handler_, clock_, this);
    connections_.append(connection);
    connect(connection, &HttpConnection::refused, this, &WebListener::CountRejected);
    connect(connection, &HttpConnection::closed, this, &WebListener::Forget);
}

void WebListener::TurnAway(QTcpSocket* socket) {
    ++rejected_;
    // At the door, not counted among the connections; over TLS, once the handshake is through.
    const auto answered = std::make_shared<bool>(false);
    tls::WhenReadyToAnswer(*socket, [socket, answered] {
        socket->write(AnswerHead(503, {{"Content-Length", "0"}}, true) + "\r\n");
        *answered = true;
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    if (turnedAway_ >= kMaxTurnedAway) {
        // A flood: each gone once its answer is out, so that none of them holds a descriptor.
        socket->disconnectFromHost();
        QTimer::singleShot(HttpConnection::kDeadlineMs, socket, [socket] { socket->abort(); });
        return;
    }
    // A close with the client's request unread would be a reset, which a client still sending sees
    // instead of the answer: what it sends is read and dropped, the answer ends with a FIN, and the
    // socket goes once the client closes too, or after a while.
    ++turnedAway_;
    connect(socket, &QObject::destroyed, this, [this] { --turnedAway_; });
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    tls::OnBytesSent(*socket, socket, [socket, answered] {
        if (*answered && tls::UnsentBytes(*socket) == 0)
            StopSending(socket->socketDescriptor());
    });
    QTimer::singleShot(kTurnedAwayMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
}

void WebListener::Forget(HttpConnection* connection) {
    connections_.removeOne(connection);
    connection->deleteLater();
}

bool WebListener::EvictOldestIdle() {
    const auto oldest = std::find_if(connections_.begin(), connections_.end(),
                                     [](const HttpConnection* connection) { return connection->IsIdle(); });
    if (oldest == connections_.end())
        return false;
    (*oldest)->Abort();
    return true;
}

int WebListener::Streams() const {
    return static_cast<int>(
        std::count_if(connections_.begin(), connections_.end(),
                      [](const HttpConnection* connection) { return connection->IsStream(); }));
}

bool WebListener::StreamRoom(const QHostAddress& client) const {
    const auto fromClient =
        std::count_if(connections_.begin(), connections_.end(),
                      [&](const HttpConnection* c) { return c->IsStream() && c->Peer() == client; });
    return Streams() < kMaxStreams && fromClient < kMaxStreamsPerClient;
}

} // namespace registrator::web
