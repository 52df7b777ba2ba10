#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>
#include <cstdint>

class QTcpSocket;

namespace registrator::web {

// The listening socket of the web view and the doorkeeper of every connection: it holds the number of
// clients and the size of a request head within bounds, answers anything but a plain GET or HEAD with
// a 4xx itself, and drops clients that stall, before the HTTP server sees a byte of them.
class WebListener : public QTcpServer {
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 256;
    static constexpr int kMaxStreams = 64;
    static constexpr qsizetype kMaxHead = 8 * 1024;
    static constexpr qsizetype kMaxTarget = 2048;
    static constexpr qint64 kIdleMs = 10'000;

    explicit WebListener(QObject* parent = nullptr);

    // A connection that now carries an endless event stream: not idle, not to be evicted.
    void MarkStream(QTcpSocket* socket);
    bool StreamRoom() const { return streams_ < kMaxStreams; }
    int Connections() const { return static_cast<int>(connections_.size()); }
    int Streams() const { return streams_; }
    // Requests answered with a 4xx, here or by the web view, and connections turned away.
    std::uint64_t Rejected() const { return rejected_; }
    void CountRejected() { ++rejected_; }

protected:
    void incomingConnection(qintptr handle) override;

private:
    struct Connection {
        QPointer<QTcpSocket> Socket;
        QByteArray Head; // the request head read so far
        qint64 LastActivityMs = 0;
        bool Stream = false;
    };

    void Inspect(QTcpSocket* socket);
    void Refuse(QTcpSocket* socket, int status, const char* reason);
    void Forget(QTcpSocket* socket);
    void Sweep();
    bool EvictOldestIdle();
    Connection* Find(QTcpSocket* socket);

    QList<Connection> connections_; // oldest first
    int streams_ = 0;
    std::uint64_t rejected_ = 0;
    QElapsedTimer clock_;
    QTimer sweeper_;
};

// "400 Bad Request" and the like: whether a request head is one the web view will hand on, and if not
// the status to answer with. Empty status when it may pass.
struct HeadVerdict {
    int Status = 0;
    const char* Reason = "";
};
HeadVerdict JudgeRequestHead(const QByteArray& head);

} // namespace registrator::web
