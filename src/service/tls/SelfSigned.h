#pragma once

#include <string>

// What Qt cannot do with certificates, from OpenSSL's libcrypto: the Linux build only.
namespace registrator::tls {

struct MadeCertificate {
    std::string CertificatePem;
    std::string KeyPem; // PKCS#8, unencrypted
};

// A self-signed certificate for a TLS server (an EC P-256 key, SHA-256, valid for ten years) naming
// `hostName` (when it is a plain host name), localhost and 127.0.0.1; false with `error` said.
bool MakeSelfSigned(const std::string& hostName, MadeCertificate& made, std::string& error);

// Whether the private key in `keyPem` is the one the first certificate in `certificatePem` was made for.
bool KeyFitsCertificate(const std::string& certificatePem, const std::string& keyPem);

} // namespace registrator::tls
