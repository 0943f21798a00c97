// Feeds arbitrary bytes to the update manifest reader and its signature
// check. No input may pass the check under a key it was not signed with; a
// manifest that parses, once signed with the test key, must pass, and must
// fail again as soon as any signed field changes.

#include "updates/UpdateManifest.h"
#include "support/SigningKey.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const SigningKey key;
    if (!key.isValid())
        std::abort();
    QString error;
    UpdateManifest manifest =
        UpdateManifest::fromJson(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), &error);
    if (!error.isEmpty())
        return 0;
    if (UpdateManifest::verifySignature(manifest, key.publicPem()))
        std::abort();
    manifest.signature = QString::fromLatin1(key.sign(UpdateManifest::canonicalText(manifest)));
    if (!UpdateManifest::verifySignature(manifest, key.publicPem()))
        std::abort();
    manifest.url += QLatin1Char('x');
    if (UpdateManifest::verifySignature(manifest, key.publicPem()))
        std::abort();
    return 0;
}
