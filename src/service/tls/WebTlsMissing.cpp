#include "service/tls/WebTls.h"

#include <QTcpSocket>

// Built without TLS (the Windows build: its Qt has no TLS backend, and wine's SChannel cannot serve TLS
// to test one): every certificate is refused with the reason, never served as plain HTTP instead.
namespace registrator::tls {

struct WebTls::Parts {};

namespace {

QString NoTls() {
    return QStringLiteral("HTTPS is Linux-only for now: this build's Qt has no TLS backend; put a TLS proxy "
                          "in front of --web, or serve the web view from a Linux station");
}

} // namespace

WebTls::WebTls(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}
WebTls::~WebTls() = default;

std::unique_ptr<WebTls> WebTls::FromFiles(const QString&, const QString&, QString& error) {
    error = NoTls();
    return nullptr;
}

std::unique_ptr<WebTls> WebTls::Own(const OwnCertificate&, QString& error) {
    error = NoTls();
    return nullptr;
}

QTcpSocket* WebTls::Accept(qintptr, QObject*, std::function<void()>) const {
    return nullptr;
}

qint64 UnsentBytes(const QTcpSocket& socket) {
    return socket.bytesToWrite();
}

void OnBytesSent(QTcpSocket& socket, QObject* context, const std::function<void()>& sent) {
    QObject::connect(&socket, &QTcpSocket::bytesWritten, context, sent);
}

void WhenReadyToAnswer(QTcpSocket&, const std::function<void()>& ready) {
    ready();
}

} // namespace registrator::tls
