#include "service/tls/SelfSigned.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <memory>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace registrator::tls {

namespace {

constexpr long kValidDays = 3650;

template <auto Free> struct Freer {
    template <typename T> void operator()(T* p) const { Free(p); }
};
using Bio = std::unique_ptr<BIO, Freer<BIO_free_all>>;
using Key = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Freer<X509_free>>;
using Extension = std::unique_ptr<X509_EXTENSION, Freer<X509_EXTENSION_free>>;
using Number = std::unique_ptr<BIGNUM, Freer<BN_free>>;

std::string LastError(const char* what) {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    char text[256] = {};
    if (code != 0)
        ERR_error_string_n(code, text, sizeof text);
    return std::string(what) + (code != 0 ? std::string(": ") + text : std::string());
}

std::string Pem(const std::function<int(BIO*)>& write) {
    const Bio bio(BIO_new(BIO_s_mem()));
    if (!bio || write(bio.get()) != 1)
        return {};
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

Bio Reader(const std::string& pem) {
    return Bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
}

// Only what a subjectAltName's DNS entry may hold, so the text cannot add names of its own.
bool PlainHostName(const std::string& name) {
    return !name.empty() && name.size() < 254 && name.front() != '-' && name.front() != '.' &&
           std::all_of(name.begin(), name.end(),
                       [](unsigned char c) { return std::isalnum(c) || c == '-' || c == '.'; });
}

bool AddExtension(X509* certificate, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    const Extension extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

} // namespace

bool MakeSelfSigned(const std::string& hostName, MadeCertificate& made, std::string& error) {
    const Key key(EVP_EC_gen("P-256"));
    const Certificate certificate(X509_new());
    if (!key || !certificate) {
        error = LastError("no key could be made");
        return false;
    }
    // A random serial, so that a browser never takes a new certificate for an old one it has seen.
    const Number serial(BN_new());
    X509_NAME* name = X509_get_subject_name(certificate.get());
    const std::string shownName = PlainHostName(hostName) ? hostName : "localhost";
    std::string altNames = "DNS:localhost,IP:127.0.0.1";
    if (PlainHostName(hostName) && hostName != "localhost")
        altNames = "DNS:" + hostName + "," + altNames;
    const bool ok =
        serial && BN_rand(serial.get(), 127, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1 &&
        BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate.get())) != nullptr &&
        X509_set_version(certificate.get(), 2) == 1 &&
        // An hour back, for a browser whose clock is a little behind the station's.
        X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600) != nullptr &&
        X509_gmtime_adj(X509_getm_notAfter(certificate.get()), kValidDays * 24 * 3600) != nullptr &&
        X509_set_pubkey(certificate.get(), key.get()) == 1 &&
        X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>("Registrator"), -1, -1, 0) == 1 &&
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(shownName.c_str()), -1, -1,
                                   0) == 1 &&
        X509_set_issuer_name(certificate.get(), name) == 1 &&
        AddExtension(certificate.get(), NID_basic_constraints, "critical,CA:FALSE") &&
        AddExtension(certificate.get(), NID_key_usage, "critical,digitalSignature") &&
        AddExtension(certificate.get(), NID_ext_key_usage, "serverAuth") &&
        AddExtension(certificate.get(), NID_subject_key_identifier, "hash") &&
        AddExtension(certificate.get(), NID_subject_alt_name, altNames) &&
        X509_sign(certificate.get(), key.get(), EVP_sha256()) > 0;
    if (!ok) {
        error = LastError("the certificate could not be made");
        return false;
    }
    made.CertificatePem = Pem([&](BIO* bio) { return PEM_write_bio_X509(bio, certificate.get()); });
    made.KeyPem = Pem([&](BIO* bio) {
        return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
    if (made.CertificatePem.empty() || made.KeyPem.empty()) {
        error = LastError("the certificate could not be written out");
        return false;
    }
    return true;
}

bool KeyFitsCertificate(const std::string& certificatePem, const std::string& keyPem) {
    const Bio certificateBio = Reader(certificatePem);
    const Bio keyBio = Reader(keyPem);
    if (!certificateBio || !keyBio)
        return false;
    const Certificate certificate(PEM_read_bio_X509(certificateBio.get(), nullptr, nullptr, nullptr));
    // No pass phrase: an encrypted key does not fit anything.
    const Key key(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, const_cast<char*>("")));
    const bool fits = certificate && key && X509_check_private_key(certificate.get(), key.get()) == 1;
    ERR_clear_error();
    return fits;
}

} // namespace registrator::tls
