#include "model/DocumentDigest.h"

#include <QHashFunctions>

namespace {

// A fingerprint of pieces of text, fed as they come. Only ever compared
// with another of this session, of a text written in the same pieces: two
// lanes of Qt's own keyed hash, each chained through the pieces, are as good
// as a cryptographic hash here and several times faster.
struct DigestWriter : pugi::xml_writer {
    size_t lanes[2] = {size_t(0x9e3779b97f4a7c15ull), size_t(0x632be59bd9b4e019ull)};
    SavedConfigLedger::Mention* mention = nullptr;
    void add(const void* data, size_t size)
    {
        for (size_t& lane : lanes)
            lane = qHashBits(data, size, lane);
    }
    void write(const void* data, size_t size) override
    {
        add(data, size);
        if (mention)
            mention->feed(static_cast<const char*>(data), size);
    }
    QByteArray result() const { return QByteArray(reinterpret_cast<const char*>(lanes), sizeof lanes); }
};

} // namespace

// One document's part: its text goes into the hash as pugixml writes it,
// never held whole; told on the way whether it names homebrew art.
QByteArray DocumentDigest::part(const pugi::xml_document& doc, SavedConfigLedger::Mention* mention)
{
    DigestWriter writer;
    writer.mention = mention;
    doc.save(writer, "", pugi::format_raw);
    return writer.result();
}

QByteArray DocumentDigest::of(const std::vector<QByteArray>& parts, bool renamePending, const QString& newName)
{
    DigestWriter writer;
    for (const QByteArray& part : parts)
        writer.add(part.constData(), size_t(part.size()));
    // A rename waits for the next save like any other edit.
    const QByteArray rename = renamePending ? QByteArray("rename:") + newName.toUtf8() : QByteArray("-");
    writer.add(rename.constData(), size_t(rename.size()));
    return writer.result();
}
