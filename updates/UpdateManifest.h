#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

// What the update service says about the newest version. It is trusted only
// after verifySignature: the signature covers every field but itself, in the
// fixed line form of canonicalText.
struct UpdateManifest {
    QString latest;
    bool update_available = false;
    bool exe_only = true;
    QString url;
    QString sha256;
    qint64 size = 0;
    QString release_notes;
    QString signature;

    // Reads the eight keys in order; the first missing or mistyped one stops
    // the parse and leaves *error set (plain text). *error is empty on
    // success. Extra keys are ignored.
    static UpdateManifest fromJson(const QByteArray& bytes, QString* error);

    // The UTF-8 text the service signs: seven "key=value" lines joined by
    // LF, no LF after the last.
    static QByteArray canonicalText(const UpdateManifest& manifest);

    // True when the Base64 signature is an RSA/SHA-256 signature of the
    // canonical text under the PEM public key. A null key is never trusted.
    static bool verifySignature(const UpdateManifest& manifest, const char* publicKeyPem);
};

Q_DECLARE_METATYPE(UpdateManifest)
