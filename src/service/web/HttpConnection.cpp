#include "service/web/HttpConnection.h"

#include "service/tls/WebTls.h"
#include "service/web/NativeSocket.h"

#include <QTcpSocket>

namespace registrator::web {

namespace {

// What a client sends ahead of its answers waits up to this much in the socket, and as much in the
// connection's own buffer.
constexpr qint64 kMaxWaitingInput = 64 * 1024;
// A piece of a body goes to the socket once it holds less than this.
constexpr qint64 kLowWater = 64 * 1024;

const char* ReasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 401:
        return "Unauthorized";
    case 414:
        return "URI Too Long";
    case 429:
        return "Too Many Requests";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Internal Server Error";
    }
}

// One client address however the listening socket sees it: "::ffff:10.0.0.5" is 10.0.0.5.
QHostAddress PlainAddress(const QHostAddress& address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : address;
}

} // namespace

QByteArray AnswerHead(int status, const HttpHeaders& headers, bool close) {
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + ReasonPhrase(status) + "\r\n";
    bool cacheSaid = false;
    for (const auto& [name, value] : headers) {
        head += name + ": " + value + "\r\n";
        cacheSaid = cacheSaid || name.compare("Cache-Control", Qt::CaseInsensitive) == 0;
    }
    // The pages hold nothing inline and load nothing from elsewhere: a name that slipped into one as
    // markup still runs no script.
    head += "Content-Security-Policy: default-src 'none'; script-src 'self'; style-src 'self'; "
            "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'\r\n"
            "X-Frame-Options: DENY\r\n"
            "X-Content-Type-Options: nosniff\r\n"
            "Referrer-Policy: no-referrer\r\n";
    if (!cacheSaid)
        head += "Cache-Control: no-store\r\n";
    if (close)
        head += "Connection: close\r\n";
    return head;
}

HttpConnection::HttpConnection(QTcpSocket* socket, Handler handler, const QElapsedTimer& clock,
                               QObject* parent)
    : QObject(parent), socket_(socket), handler_(std::move(handler)), clock_(clock),
      peer_(PlainAddress(socket->peerAddress())) {
    socket_->setParent(this);
    socket_->setReadBufferSize(kMaxWaitingInput);
    idleSinceMs_ = progressAtMs_ = clock_.elapsed();
    connect(socket_, &QTcpSocket::readyRead, this, &HttpConnection::ReadInput);
    tls::OnBytesSent(*socket_, this, [this] {
        if (WantsMore())
            emit drained();
    });
    connect(socket_, &QTcpSocket::disconnected, this, &HttpConnection::OnDisconnected);
}

void HttpConnection::ReadInput() {
    switch (state_) {
    case State::ReadingHead:
        TakeRequest();
        break;
    case State::Answering:
        break; // the next request waits in the socket until this answer is out
    case State::Streaming:
    case State::Closing:
        // Nothing more is taken from this client; what it sends is dropped so that its close is seen.
        socket_->readAll();
        break;
    }
}

void HttpConnection::TakeRequest() {
    if (state_ != State::ReadingHead)
        return;
    // Bounded here as in the socket: a client pipelining without end waits for its answers.
    input_ += socket_->read(kMaxWaitingInput - input_.size());
    if (!input_.isEmpty() && headStartMs_ < 0)
        headStartMs_ = clock_.elapsed();
    input_.remove(0, LeadingEmptyLines(input_));
    const HeadEnd end = FindHeadEnd(input_);
    if (end.HeadLength < 0) {
        if (const HeadVerdict early = JudgeUnfinishedHead(input_); early.Status != 0)
            Refuse(early.Status);
        return;
    }
    RequestHead request;
    const HeadVerdict verdict = JudgeRequestHead(input_.left(end.HeadLength), &request);
    input_.remove(0, end.Taken);
    if (verdict.Status != 0)
        return Refuse(verdict.Status);
    headStartMs_ = -1;
    state_ = State::Answering;
    headOnly_ = request.HeadOnly;
    http10_ = request.Http10;
    closeAfter_ = request.Close;
    handler_(*this, request);
}

void HttpConnection::Refuse(int status) {
    emit refused();
    // Whatever follows a refused head cannot be told apart from it: the connection ends here.
    state_ = State::Answering;
    headOnly_ = false;
    closeAfter_ = true;
    Answer(status, {}, status == 405 ? HttpHeaders{{"Allow", "GET, HEAD"}} : HttpHeaders{});
}

QByteArray HttpConnection::HeadOf(int status, const HttpHeaders& headers) const {
    return AnswerHead(status, headers, closeAfter_);
}

void HttpConnection::Answer(int status, const QByteArray& body, const HttpHeaders& headers) {
    if (state_ != State::Answering)
        return;
    QByteArray answer = HeadOf(status, headers);
    if (status != 204)
        answer += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    answer += "\r\n";
    if (!headOnly_ && status != 204)
        answer += body;
    Write(answer);
    FinishAnswer();
}

bool HttpConnection::BeginPieces(int status, const HttpHeaders& headers) {
    if (state_ != State::Answering)
        return false;
    // HTTP/1.0 knows no chunks: its body runs to the close.
    closeAfter_ = closeAfter_ || http10_;
    Write(HeadOf(status, headers) + (http10_ ? "" : "Transfer-Encoding: chunked\r\n") + "\r\n");
    if (headOnly_) {
        FinishAnswer();
        return false;
    }
    inPieces_ = true;
    return true;
}

void HttpConnection::WritePiece(const QByteArray& piece) {
    if (state_ != State::Answering || !inPieces_ || piece.isEmpty())
        return;
    if (http10_)
        return Write(piece);
    Write(QByteArray::number(piece.size(), 16) + "\r\n");
    Write(piece);
    Write("\r\n");
}

void HttpConnection::EndPieces() {
    if (state_ != State::Answering || !inPieces_)
        return;
    inPieces_ = false;
    if (!http10_)
        Write("0\r\n\r\n");
    FinishAnswer();
}

bool HttpConnection::BeginStream(const HttpHeaders& headers) {
    if (state_ != State::Answering)
        return false;
    closeAfter_ = true;
    Write(HeadOf(200, headers) + "\r\n");
    if (headOnly_) {
        FinishAnswer();
        return false;
    }
    state_ = State::Streaming;
    return true;
}

void HttpConnection::Push(const QByteArray& event) {
    if (state_ == State::Streaming)
        Write(event);
}

void HttpConnection::Write(const QByteArray& bytes) {
    written_ += bytes.size();
    socket_->write(bytes);
}

void HttpConnection::FinishAnswer() {
    if (closeAfter_)
        return CloseGently();
    state_ = State::ReadingHead;
    idleSinceMs_ = clock_.elapsed();
    // The next request may be in already; taken once this answer's caller has returned.
    QMetaObject::invokeMethod(this, &HttpConnection::TakeRequest, Qt::QueuedConnection);
}

void HttpConnection::CloseGently() {
    state_ = State::Closing;
    // Sends what is queued first; the deadlines still hold for a client that does not take it.
    socket_->disconnectFromHost();
}

bool HttpConnection::Encrypted() const {
    // By name: the listener hands over a QSslSocket for TLS, and this file needs no TLS of its own.
    return socket_->inherits("QSslSocket");
}

bool HttpConnection::WantsMore() const {
    return tls::UnsentBytes(*socket_) < kLowWater;
}

bool HttpConnection::IsIdle() const {
    return state_ == State::Closing || (state_ == State::ReadingHead && headStartMs_ < 0 &&
                                        input_.isEmpty() && tls::UnsentBytes(*socket_) == 0);
}

qint64 HttpConnection::Backlog() const {
    return tls::UnsentBytes(*socket_) + UnacknowledgedBytes(socket_->socketDescriptor());
}

void HttpConnection::CheckDeadlines() {
    if (gone_)
        return;
    const qint64 now = clock_.elapsed();
    const qint64 backlog = Backlog();
    const qint64 delivered = written_ - backlog;
    if (backlog == 0 || delivered != deliveredAtCheck_) {
        deliveredAtCheck_ = delivered;
        progressAtMs_ = now;
    }
    if (backlog > 0) {
        // A client that takes nothing of what it is sent holds the socket and the answer for nothing.
        if (now - progressAtMs_ > kDeadlineMs)
            Abort();
        return;
    }
    // An answer still being made, or a stream being read, has no deadline of its own.
    if (state_ != State::ReadingHead)
        return;
    // A trickle of bytes does not extend the time a head may take.
    if (headStartMs_ >= 0 && now - headStartMs_ > kDeadlineMs)
        return Refuse(408);
    if (headStartMs_ < 0 && now - idleSinceMs_ > kDeadlineMs)
        CloseGently();
}

void HttpConnection::Abort() {
    ResetOnClose(socket_->socketDescriptor());
    socket_->abort();
    OnDisconnected();
}

void HttpConnection::OnDisconnected() {
    if (gone_)
        return;
    gone_ = true;
    state_ = State::Closing;
    emit closed(this);
}

} // namespace registrator::web
