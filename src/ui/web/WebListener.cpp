#include "ui/web/WebListener.h"

#include <QTcpSocket>

namespace registrator::web {

namespace {

bool IsPlainTargetByte(char c) {
    // Printable ASCII without '%' and '\': no encoded or back-slashed path ever reaches a handler.
    return c > ' ' && c < 127 && c != '%' && c != '\\';
}

} // namespace

HeadVerdict JudgeRequestHead(const QByteArray& head) {
    const qsizetype lineEnd = head.indexOf("\r\n");
    const QByteArray line = lineEnd < 0 ? head : head.left(lineEnd);
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3)
        return {400, "Bad Request"};
    if (parts[0] != "GET" && parts[0] != "HEAD")
        return {405, "Method Not Allowed"};
    const QByteArray& target = parts[1];
    if (target.size() > WebListener::kMaxTarget)
        return {414, "URI Too Long"};
    if (!target.startsWith('/') || !std::all_of(target.begin(), target.end(), IsPlainTargetByte))
        return {400, "Bad Request"};
    if (parts[2] != "HTTP/1.1" && parts[2] != "HTTP/1.0")
        return {400, "Bad Request"};
    if (lineEnd < 0)
        return {};
    for (const QByteArray& field : head.mid(lineEnd + 2).split('\n')) {
        const QByteArray trimmed = field.trimmed();
        if (trimmed.isEmpty())
            continue;
        const qsizetype colon = trimmed.indexOf(':');
        if (colon <= 0)
            return {400, "Bad Request"};
        const QByteArray name = trimmed.left(colon).toLower();
        const QByteArray value = trimmed.mid(colon + 1).trimmed();
        // Nothing is ever read from a body; a request that brings one is not a plain read.
        if (name == "transfer-encoding" || (name == "content-length" && value != "0"))
            return {400, "Bad Request"};
    }
    return {};
}

WebListener::WebListener(QObject* parent) : QTcpServer(parent) {
    clock_.start();
    setListenBacklogSize(128);
    sweeper_.setInterval(1000);
    connect(&sweeper_, &QTimer::timeout, this, &WebListener::Sweep);
    sweeper_.start();
}

WebListener::Connection* WebListener::Find(QTcpSocket* socket) {
    for (Connection& connection : connections_)
        if (connection.Socket == socket)
            return &connection;
    return nullptr;
}

void WebListener::incomingConnection(qintptr handle) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return;
    }
    if (connections_.size() >= kMaxConnections && !EvictOldestIdle()) {
        Refuse(socket, 503, "Service Unavailable");
        return;
    }
    connections_.append(Connection{socket, {}, clock_.elapsed(), false});
    // Connected before the HTTP server's own handler, so every byte is judged before it is parsed.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Inspect(socket); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
        if (Connection* connection = Find(socket))
            connection->LastActivityMs = clock_.elapsed();
    });
    connect(socket, &QObject::destroyed, this, [this, socket] { Forget(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { Forget(socket); });
    addPendingConnection(socket);
}

void WebListener::Inspect(QTcpSocket* socket) {
    Connection* connection = Find(socket);
    if (!connection)
        return;
    connection->LastActivityMs = clock_.elapsed();
    if (connection->Stream) {
        // An event stream is never read from again; whatever comes is not a request.
        return;
    }
    // The HTTP server reads everything on each signal, so what is still unread now is new.
    connection->Head += socket->peek(kMaxHead + 1 - connection->Head.size());
    while (true) {
        const qsizetype end = connection->Head.indexOf("\r\n\r\n");
        if (end < 0) {
            const HeadVerdict early =
                connection->Head.contains("\r\n") ? JudgeRequestHead(connection->Head) : HeadVerdict{};
            if (early.Status != 0)
                return Refuse(socket, early.Status, early.Reason);
            if (connection->Head.size() > kMaxHead)
                return connection->Head.contains("\r\n")
                           ? Refuse(socket, 431, "Request Header Fields Too Large")
                           : Refuse(socket, 414, "URI Too Long");
            return;
        }
        const HeadVerdict verdict = JudgeRequestHead(connection->Head.left(end));
        if (verdict.Status != 0)
            return Refuse(socket, verdict.Status, verdict.Reason);
        connection->Head.remove(0, end + 4);
    }
}

void WebListener::Refuse(QTcpSocket* socket, int status, const char* reason) {
    ++rejected_;
    Forget(socket);
    // The HTTP server must not parse what was refused.
    disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    QByteArray answer = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n";
    if (status == 405)
        answer += "Allow: GET, HEAD\r\n";
    answer += "Content-Length: 0\r\nConnection: close\r\n\r\n";
    socket->write(answer);
    socket->disconnectFromHost();
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    // A client that reads nothing would otherwise hold the socket open.
    QTimer::singleShot(kIdleMs, socket, [socket] { socket->abort(); });
}

void WebListener::MarkStream(QTcpSocket* socket) {
    if (Connection* connection = Find(socket); connection && !connection->Stream) {
        connection->Stream = true;
        ++streams_;
    }
}

void WebListener::Forget(QTcpSocket* socket) {
    for (qsizetype i = 0; i < connections_.size(); ++i) {
        if (connections_[i].Socket == socket || connections_[i].Socket.isNull()) {
            if (connections_[i].Stream)
                --streams_;
            connections_.removeAt(i--);
        }
    }
}

bool WebListener::EvictOldestIdle() {
    for (const Connection& connection : connections_) {
        if (!connection.Stream && connection.Socket && connection.Socket->bytesToWrite() == 0) {
            QTcpSocket* socket = connection.Socket;
            Forget(socket);
            socket->abort();
            return true;
        }
    }
    return false;
}

void WebListener::Sweep() {
    const qint64 now = clock_.elapsed();
    QList<QTcpSocket*> stale;
    for (const Connection& connection : connections_) {
        if (!connection.Socket)
            continue;
        // Idle without a request, or a reader that has taken nothing for as long.
        const bool waiting = !connection.Stream || connection.Socket->bytesToWrite() > 0;
        if (waiting && now - connection.LastActivityMs > kIdleMs)
            stale.append(connection.Socket);
    }
    for (QTcpSocket* socket : stale) {
        Forget(socket);
        socket->abort();
    }
    Forget(nullptr);
}

} // namespace registrator::web
