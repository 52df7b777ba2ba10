#pragma once

#include "service/web/RequestHead.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <functional>

class QTcpSocket;

namespace registrator::web {

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

// The status line and headers of an answer, without the blank line that ends them. Every answer carries
// the same guard for the browser: only the pages' own scripts and styles run, never inside another
// site's frame, with no referrer and no guessed types; and none is kept by a cache unless `headers` say
// otherwise.
QByteArray AnswerHead(int status, const HttpHeaders& headers, bool close);

// One client's connection. It splits the request heads off what arrives, one at a time, judges each,
// hands those that pass to the web view and writes the answers strictly in the order of the requests:
// the next head is not even looked at before the answer ahead of it is out. It keeps the connection's
// three deadlines: a head complete within 10 s of its first byte, at most 10 s idle between requests,
// and a client that takes something of what it is sent at least every 10 s.
class HttpConnection : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kDeadlineMs = 10'000;

    using Handler = std::function<void(HttpConnection&, const RequestHead&)>;
    // Takes the connected socket over (a QSslSocket for HTTPS: nothing is read before its handshake is
    // through, and its deadlines hold for a handshake that never ends); `clock` is the listener's, read
    // for every deadline.
    HttpConnection(QTcpSocket* socket, Handler handler, const QElapsedTimer& clock, QObject* parent);

    // Each request gets exactly one answer, in one of three kinds. A whole one, with its length:
    void Answer(int status, const QByteArray& body, const HttpHeaders& headers);
    // One whose body follows in pieces (chunked, or up to the close for HTTP/1.0); false for HEAD,
    // whose answer is then complete:
    bool BeginPieces(int status, const HttpHeaders& headers);
    void WritePiece(const QByteArray& piece);
    void EndPieces();
    // Or an endless event stream, kept until either side closes; false for HEAD:
    bool BeginStream(const HttpHeaders& headers);
    void Push(const QByteArray& event);

    // Whether the socket has passed on nearly all it was given, so that the next piece may go.
    bool WantsMore() const;
    bool IsStream() const { return state_ == State::Streaming; }
    // Between requests, nothing half-received and nothing left to send: the one to close for room.
    bool IsIdle() const;
    QHostAddress Peer() const { return peer_; }
    // Whether the connection is over TLS: a password may cross it.
    bool Encrypted() const;
    // Bytes given to the socket that the client has not taken yet.
    qint64 Backlog() const;

    // Closes the connection when one of its deadlines has passed.
    void CheckDeadlines();
    void Abort();

signals:
    void refused(); // a head turned away here, or one that did not come in time
    void drained(); // the socket has passed on what it had; WantsMore() holds
    void closed(HttpConnection* connection);

private:
    enum class State { ReadingHead, Answering, Streaming, Closing };

    void ReadInput();
    void TakeRequest();
    void Refuse(int status);
    void FinishAnswer();
    void CloseGently();
    QByteArray HeadOf(int status, const HttpHeaders& headers) const;
    void Write(const QByteArray& bytes);
    void OnDisconnected();

    QTcpSocket* socket_;
    Handler handler_;
    const QElapsedTimer& clock_;
    QHostAddress peer_;
    State state_ = State::ReadingHead;
    QByteArray input_;        // the unfinished head, and what came after it
    qint64 headStartMs_ = -1; // when its first byte came; -1 between requests
    qint64 idleSinceMs_ = 0;
    bool headOnly_ = false; // of the request being answered
    bool http10_ = false;
    bool closeAfter_ = false;
    bool inPieces_ = false;
    bool gone_ = false;
    qint64 written_ = 0; // every byte given to the socket
    qint64 deliveredAtCheck_ = 0;
    qint64 progressAtMs_ = 0;
};

} // namespace registrator::web
