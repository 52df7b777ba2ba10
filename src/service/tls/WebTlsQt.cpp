#include "common/PrivateFile.h"
#include "service/tls/SelfSigned.h"
#include "service/tls/WebTls.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

// TLS through Qt's TLS backend (OpenSSL's, on Debian), with its certificates made by libcrypto.
namespace registrator::tls {

struct WebTls::Parts {
    QSslConfiguration Configuration;
};

namespace {

bool TlsAvailable(QString& error) {
    if (QSslSocket::supportsSsl())
        return true;
    error = QStringLiteral("Qt has no TLS backend that can serve (found: %1); its OpenSSL plugin needs "
                           "libssl3")
                .arg(QSslSocket::availableBackends().join(QStringLiteral(", ")));
    return false;
}

bool ReadWhole(const QString& path, QByteArray& bytes, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    bytes = file.readAll();
    return true;
}

// Written whole beside the file, flushed, then renamed over it; made with its mode, so that a key is
// never readable by others even for a moment.
bool WriteKept(const QString& path, const std::string& bytes, mode_t mode, QString& error) {
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = target + ".new";
    ::unlink(temporary.constData());
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    bool ok = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
              ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    ok = ok && ::rename(temporary.constData(), target.constData()) == 0;
    if (!ok) {
        error = path + QStringLiteral(" not written: ") +
                QString::fromStdString(std::generic_category().message(errno));
        ::unlink(temporary.constData());
    }
    return ok;
}

} // namespace

WebTls::WebTls(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}
WebTls::~WebTls() = default;

std::unique_ptr<WebTls> WebTls::FromFiles(const QString& certificate, const QString& key, QString& error) {
    if (!TlsAvailable(error))
        return nullptr;
    std::string why;
    if (!common::OwnerOnly(key.toStdString(), why)) {
        error = QString::fromStdString(why);
        return nullptr;
    }
    QByteArray certificatePem;
    QByteArray keyPem;
    if (!ReadWhole(certificate, certificatePem, error) || !ReadWhole(key, keyPem, error))
        return nullptr;
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certificatePem, QSsl::Pem);
    if (chain.isEmpty() || chain.first().isNull()) {
        error = certificate + QStringLiteral(" holds no certificate in PEM");
        return nullptr;
    }
    if (keyPem.contains("ENCRYPTED")) {
        error = key + QStringLiteral(" is encrypted, and nobody is there to give its pass phrase at start: "
                                     "keep it unencrypted (openssl pkey -in KEY -out PLAIN), readable by its "
                                     "owner only");
        return nullptr;
    }
    QSslKey privateKey(keyPem, QSsl::Rsa, QSsl::Pem, QSsl::PrivateKey);
    if (privateKey.isNull())
        privateKey = QSslKey(keyPem, QSsl::Ec, QSsl::Pem, QSsl::PrivateKey);
    if (privateKey.isNull()) {
        error = key + QStringLiteral(" holds no RSA or EC private key in PEM");
        return nullptr;
    }
    // Else every browser's handshake would fail, each with nothing said here.
    if (!KeyFitsCertificate(certificatePem.toStdString(), keyPem.toStdString())) {
        error = key + QStringLiteral(" is not the key of the certificate in ") + certificate;
        return nullptr;
    }
    auto parts = std::make_unique<Parts>();
    parts->Configuration = QSslConfiguration::defaultConfiguration();
    parts->Configuration.setLocalCertificateChain(chain);
    parts->Configuration.setPrivateKey(privateKey);
    parts->Configuration.setProtocol(QSsl::TlsV1_2OrLater);
    parts->Configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    std::unique_ptr<WebTls> tls(new WebTls(std::move(parts)));
    tls->certificatePath_ = QFileInfo(certificate).absoluteFilePath();
    tls->fingerprint_ =
        QString::fromLatin1(chain.first().digest(QCryptographicHash::Sha256).toHex(':').toUpper());
    tls->expiry_ = chain.first().expiryDate();
    return tls;
}

std::unique_ptr<WebTls> WebTls::Own(const OwnCertificate& own, QString& error) {
    if (!TlsAvailable(error))
        return nullptr;
    const QString certificate = QDir(own.Folder).filePath(QStringLiteral("web-certificate.pem"));
    const QString key = QDir(own.Folder).filePath(QStringLiteral("web-key.pem"));
    // Both or neither: a pair a power cut left half written is made again.
    const bool make = !QFileInfo::exists(certificate) || !QFileInfo::exists(key);
    if (make) {
        MadeCertificate made;
        std::string why;
        if (!MakeSelfSigned(own.HostName.toStdString(), made, why)) {
            error = QString::fromStdString(why);
            return nullptr;
        }
        // The key first: a certificate on its own is never taken for a whole pair.
        if (!WriteKept(key, made.KeyPem, 0600, error) ||
            !WriteKept(certificate, made.CertificatePem, 0644, error))
            return nullptr;
    }
    std::unique_ptr<WebTls> tls = FromFiles(certificate, key, error);
    if (tls)
        tls->madeNow_ = make;
    return tls;
}

QTcpSocket* WebTls::Accept(qintptr handle, QObject* parent, std::function<void()> refused) const {
    auto* socket = new QSslSocket(parent);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return nullptr;
    }
    socket->setSslConfiguration(parts_->Configuration);
    QObject::connect(
        socket, &QSslSocket::errorOccurred, socket,
        [socket, refused = std::move(refused), told = false](QAbstractSocket::SocketError error) mutable {
            if (told || error != QAbstractSocket::SslHandshakeFailedError || socket->isEncrypted())
                return;
            told = true;
            refused();
        });
    socket->startServerEncryption();
    return socket;
}

qint64 UnsentBytes(const QTcpSocket& socket) {
    const auto* ssl = qobject_cast<const QSslSocket*>(&socket);
    // A TLS socket's own count is of what it has not encrypted yet; what it has waits in the one beneath.
    return socket.bytesToWrite() + (ssl ? ssl->encryptedBytesToWrite() : 0);
}

void OnBytesSent(QTcpSocket& socket, QObject* context, const std::function<void()>& sent) {
    // A TLS socket's bytesWritten comes as bytes are encrypted, before they have even reached the socket
    // beneath, which would then look empty.
    if (auto* ssl = qobject_cast<QSslSocket*>(&socket))
        QObject::connect(ssl, &QSslSocket::encryptedBytesWritten, context, sent);
    else
        QObject::connect(&socket, &QTcpSocket::bytesWritten, context, sent);
}

void WhenReadyToAnswer(QTcpSocket& socket, const std::function<void()>& ready) {
    auto* ssl = qobject_cast<QSslSocket*>(&socket);
    if (!ssl || ssl->isEncrypted())
        return ready();
    QObject::connect(ssl, &QSslSocket::encrypted, ssl, ready, Qt::SingleShotConnection);
}

} // namespace registrator::tls
