#include "updates/UpdateManifest.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cmath>
#include <memory>

namespace {

// Each reader stores a well-typed value and returns an empty text, or
// returns the reason the key cannot be used.
QString findValue(const QJsonObject& o, const QString& key, QJsonValue* value)
{
    const auto it = o.constFind(key);
    if (it == o.constEnd())
        return QStringLiteral("missing field %1").arg(key);
    *value = it.value();
    return {};
}

QString readText(const QJsonObject& o, const QString& key, bool singleLine, QString* field)
{
    QJsonValue v;
    QString error = findValue(o, key, &v);
    if (!error.isEmpty())
        return error;
    if (!v.isString())
        return QStringLiteral("field %1 is not a string").arg(key);
    const QString text = v.toString();
    // One line each in the signed text: a line break inside would let one
    // signed text read as a different manifest.
    if (singleLine && (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))))
        return QStringLiteral("field %1 contains a line break").arg(key);
    *field = text;
    return {};
}

QString readFlag(const QJsonObject& o, const QString& key, bool* field)
{
    QJsonValue v;
    QString error = findValue(o, key, &v);
    if (!error.isEmpty())
        return error;
    if (!v.isBool())
        return QStringLiteral("field %1 is not a bool").arg(key);
    *field = v.toBool();
    return {};
}

QString readNumber(const QJsonObject& o, const QString& key, qint64* field)
{
    QJsonValue v;
    QString error = findValue(o, key, &v);
    if (!error.isEmpty())
        return error;
    // Truncated toward zero; a value no 64-bit integer holds is refused
    // rather than converted with undefined behaviour.
    const double d = v.isDouble() ? std::trunc(v.toDouble()) : NAN;
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0))
        return QStringLiteral("field %1 is not a number").arg(key);
    *field = static_cast<qint64>(d);
    return {};
}

template <typename T, void (*Free)(T*)> struct Freer {
    void operator()(T* p) const { Free(p); }
};
using BioPtr = std::unique_ptr<BIO, Freer<BIO, BIO_free_all>>;
using KeyPtr = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY, EVP_PKEY_free>>;
using DigestPtr = std::unique_ptr<EVP_MD_CTX, Freer<EVP_MD_CTX, EVP_MD_CTX_free>>;

bool verifyWithKey(const QByteArray& text, const QByteArray& signature, const char* publicKeyPem)
{
    BioPtr bio(BIO_new_mem_buf(publicKeyPem, -1));
    if (!bio)
        return false;
    KeyPtr key(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
    if (!key)
        return false;
    DigestPtr ctx(EVP_MD_CTX_new());
    if (!ctx)
        return false;
    return EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1
        && EVP_DigestVerifyUpdate(ctx.get(), text.constData(), size_t(text.size())) == 1
        && EVP_DigestVerifyFinal(ctx.get(), reinterpret_cast<const unsigned char*>(signature.constData()),
                                 size_t(signature.size()))
        == 1;
}

} // namespace

UpdateManifest UpdateManifest::fromJson(const QByteArray& bytes, QString* error)
{
    QString scratch;
    QString& err = error ? *error : scratch;
    err.clear();
    UpdateManifest m;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        err = QStringLiteral("malformed json: %1").arg(parseError.errorString());
        return m;
    }
    if (!doc.isObject()) {
        err = QStringLiteral("malformed json: not an object");
        return m;
    }
    const QJsonObject o = doc.object();
    const auto key = [](const char* name) { return QString::fromLatin1(name); };
    // In this order: the first failing key stops the parse.
    err = readText(o, key("latest"), true, &m.latest);
    if (err.isEmpty())
        err = readFlag(o, key("update_available"), &m.update_available);
    if (err.isEmpty())
        err = readFlag(o, key("exe_only"), &m.exe_only);
    if (err.isEmpty())
        err = readText(o, key("url"), true, &m.url);
    if (err.isEmpty())
        err = readText(o, key("sha256"), true, &m.sha256);
    if (err.isEmpty())
        err = readNumber(o, key("size"), &m.size);
    if (err.isEmpty())
        err = readText(o, key("release_notes"), false, &m.release_notes);
    if (err.isEmpty())
        err = readText(o, key("signature"), true, &m.signature);
    return m;
}

QByteArray UpdateManifest::canonicalText(const UpdateManifest& m)
{
    const auto flag = [](bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); };
    const QString text = QStringLiteral("latest=") + m.latest + QLatin1Char('\n')
        + QStringLiteral("update_available=") + flag(m.update_available) + QLatin1Char('\n')
        + QStringLiteral("exe_only=") + flag(m.exe_only) + QLatin1Char('\n')
        + QStringLiteral("url=") + m.url + QLatin1Char('\n')
        + QStringLiteral("sha256=") + m.sha256 + QLatin1Char('\n')
        + QStringLiteral("size=") + QString::number(m.size) + QLatin1Char('\n')
        + QStringLiteral("release_notes=") + m.release_notes;
    return text.toUtf8();
}

bool UpdateManifest::verifySignature(const UpdateManifest& manifest, const char* publicKeyPem)
{
    if (!publicKeyPem || manifest.signature.isEmpty())
        return false;
    // Characters outside the Base64 alphabet are skipped, as the service's
    // own encoder may wrap lines.
    const QByteArray signature = QByteArray::fromBase64(manifest.signature.toLatin1());
    if (signature.isEmpty())
        return false;
    const bool ok = verifyWithKey(canonicalText(manifest), signature, publicKeyPem);
    // A failed read or check leaves reasons on this thread's OpenSSL error
    // queue; the TLS code that shares it must not pick them up later.
    ERR_clear_error();
    return ok;
}
