#pragma once

#include <QByteArray>

#include <openssl/types.h>

// A fresh RSA-2048 key pair made in memory when constructed, standing in for
// the update service's signing key. The private half is never written
// anywhere; tests hand checkers publicPem() instead of the built-in key.
class SigningKey {
public:
    SigningKey();
    ~SigningKey();
    SigningKey(const SigningKey&) = delete;
    SigningKey& operator=(const SigningKey&) = delete;

    bool isValid() const { return m_key != nullptr; }
    // PEM public key, NUL-terminated; lives as long as this object.
    const char* publicPem() const { return m_publicPem.constData(); }
    // Base64 RSASSA-PKCS1-v1_5 signature over SHA-256 of text.
    QByteArray sign(const QByteArray& text) const;

private:
    EVP_PKEY* m_key = nullptr;
    QByteArray m_publicPem;
};
