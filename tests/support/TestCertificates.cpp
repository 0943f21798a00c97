#include "support/TestCertificates.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Cert = std::unique_ptr<X509, decltype(&X509_free)>;

Key newKey()
{
    return Key(EVP_EC_gen("P-256"), &EVP_PKEY_free);
}

bool addExtension(X509* cert, X509* issuer, int nid, const char* value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    const bool ok = ext && X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

// A certificate for key named cn, signed by issuerKey as issuer (itself when
// issuer is null), with the extensions given as nid/value pairs.
Cert makeCertificate(EVP_PKEY* key, const char* cn, X509* issuer, EVP_PKEY* issuerKey, long serial,
                     std::initializer_list<std::pair<int, const char*>> extensions)
{
    Cert cert(X509_new(), &X509_free);
    if (!cert || !key || !issuerKey)
        return Cert(nullptr, &X509_free);
    X509* c = cert.get();
    X509_set_version(c, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(c), serial);
    X509_gmtime_adj(X509_getm_notBefore(c), -3600);
    X509_gmtime_adj(X509_getm_notAfter(c), 7 * 24 * 3600);
    X509_set_pubkey(c, key);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(c), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(cn), -1, -1, 0);
    X509_set_issuer_name(c, X509_get_subject_name(issuer ? issuer : c));
    for (const auto& [nid, value] : extensions)
        if (!addExtension(c, issuer ? issuer : c, nid, value))
            return Cert(nullptr, &X509_free);
    if (X509_sign(c, issuerKey, EVP_sha256()) <= 0)
        return Cert(nullptr, &X509_free);
    return cert;
}

template <typename Write>
QByteArray pem(Write write)
{
    QByteArray text;
    BIO* bio = BIO_new(BIO_s_mem());
    if (bio && write(bio) == 1) {
        char* data = nullptr;
        const long size = BIO_get_mem_data(bio, &data);
        text = QByteArray(data, int(size));
    }
    BIO_free(bio);
    return text;
}

QSslCertificate toQt(X509* cert)
{
    return cert ? QSslCertificate(pem([cert](BIO* b) { return PEM_write_bio_X509(b, cert); })) : QSslCertificate();
}

} // namespace

TestCertificates::TestCertificates()
{
    const Key caKey = newKey();
    const Key serverKeyPair = newKey();
    const Cert ca = makeCertificate(caKey.get(), "Korvelanto test authority", nullptr, caKey.get(), 1,
                                    {{NID_basic_constraints, "critical,CA:TRUE"},
                                     {NID_key_usage, "critical,keyCertSign,cRLSign"},
                                     {NID_subject_key_identifier, "hash"}});
    if (!ca)
        return;
    const Cert leaf = makeCertificate(serverKeyPair.get(), "127.0.0.1", ca.get(), caKey.get(), 2,
                                      {{NID_basic_constraints, "critical,CA:FALSE"},
                                       {NID_key_usage, "critical,digitalSignature,keyAgreement"},
                                       {NID_ext_key_usage, "serverAuth"},
                                       {NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost"},
                                       {NID_authority_key_identifier, "keyid"}});
    authority = toQt(ca.get());
    server = toQt(leaf.get());
    EVP_PKEY* k = serverKeyPair.get();
    serverKey = QSslKey(pem([k](BIO* b) { return PEM_write_bio_PrivateKey(b, k, nullptr, nullptr, 0, nullptr, nullptr); }),
                        QSsl::Ec);
}

const TestCertificates& TestCertificates::instance()
{
    static const TestCertificates certificates;
    return certificates;
}

QSslConfiguration TestCertificates::serverConfiguration() const
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(server);
    config.setPrivateKey(serverKey);
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    return config;
}

void TestCertificates::trustInThisProcess() const
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    if (!config.caCertificates().contains(authority))
        config.addCaCertificate(authority);
    QSslConfiguration::setDefaultConfiguration(config);
}
