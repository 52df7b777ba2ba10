#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>

class QObject;
class QTcpSocket;

namespace registrator::tls {

// Where `--web-certificate self` keeps the station's own certificate, and whom it names.
struct OwnCertificate {
    QString Folder;   // beside the settings file
    QString HostName; // the station's; localhost and 127.0.0.1 are named too
};

// The certificate and key the web view serves TLS with (1.2 and newer only), read and checked once at
// start. A build without TLS (the Windows one: its Qt has no TLS backend) refuses every certificate.
class WebTls {
public:
    // From the files given, in PEM: the certificate (then any intermediate ones) and an unencrypted private
    // key that only its owner may read. Null, with `error` said, when they will not do.
    static std::unique_ptr<WebTls> FromFiles(const QString& certificate, const QString& key, QString& error);
    // The station's own self-signed certificate: made on first use, kept and reused after.
    static std::unique_ptr<WebTls> Own(const OwnCertificate& own, QString& error);
    ~WebTls();

    QString CertificatePath() const { return certificatePath_; }
    bool MadeNow() const { return madeNow_; }
    // SHA-256 of the certificate, "AB:CD:…", as a browser shows it.
    QString Fingerprint() const { return fingerprint_; }
    QDateTime Expiry() const { return expiry_; }

    // A socket over an accepted connection, its server handshake begun; `refused` runs once if the
    // handshake fails (Qt then closes it). Null when the descriptor cannot be taken.
    QTcpSocket* Accept(qintptr handle, QObject* parent, std::function<void()> refused) const;

private:
    struct Parts; // what this build's TLS keeps
    explicit WebTls(std::unique_ptr<Parts> parts);

    std::unique_ptr<Parts> parts_;
    QString certificatePath_;
    bool madeNow_ = false;
    QString fingerprint_;
    QDateTime expiry_;
};

// Bytes given to the socket that it has not handed to the system yet; for TLS, also those encrypted and
// waiting behind it.
qint64 UnsentBytes(const QTcpSocket& socket);
// Runs `sent` whenever the socket has handed bytes to the system (for TLS, encrypted ones).
void OnBytesSent(QTcpSocket& socket, QObject* context, const std::function<void()>& sent);
// Runs `ready` once an answer written now is read as one: at once, or for TLS after the handshake.
void WhenReadyToAnswer(QTcpSocket& socket, const std::function<void()>& ready);

} // namespace registrator::tls
