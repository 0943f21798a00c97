#include "support/SigningKey.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

SigningKey::SigningKey()
{
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_id(EVP_PKEY_RSA, nullptr);
    if (ctx && EVP_PKEY_keygen_init(ctx) == 1 && EVP_PKEY_CTX_set_rsa_keygen_bits(ctx, 2048) == 1)
        EVP_PKEY_keygen(ctx, &m_key);
    EVP_PKEY_CTX_free(ctx);
    if (!m_key)
        return;
    BIO* bio = BIO_new(BIO_s_mem());
    if (bio && PEM_write_bio_PUBKEY(bio, m_key) == 1) {
        char* data = nullptr;
        const long size = BIO_get_mem_data(bio, &data);
        m_publicPem = QByteArray(data, int(size));
    }
    BIO_free(bio);
}

SigningKey::~SigningKey()
{
    EVP_PKEY_free(m_key);
}

QByteArray SigningKey::sign(const QByteArray& text) const
{
    QByteArray signature;
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    size_t size = 0;
    if (ctx && EVP_DigestSignInit(ctx, nullptr, EVP_sha256(), nullptr, m_key) == 1
        && EVP_DigestSign(ctx, nullptr, &size, reinterpret_cast<const unsigned char*>(text.constData()),
                          size_t(text.size()))
            == 1) {
        signature.resize(qsizetype(size));
        if (EVP_DigestSign(ctx, reinterpret_cast<unsigned char*>(signature.data()), &size,
                           reinterpret_cast<const unsigned char*>(text.constData()), size_t(text.size()))
            == 1)
            signature.resize(qsizetype(size));
        else
            signature.clear();
    }
    EVP_MD_CTX_free(ctx);
    return signature.toBase64();
}
