#include "model/ZipStreamWriter.h"

#include "model/SafeWrite.h"
#include "model/ZipEntryName.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <unistd.h>
#endif

namespace {

constexpr quint32 kLocalMagic = 0x04034b50;
constexpr quint32 kCentralMagic = 0x02014b50;
constexpr quint32 kEndMagic = 0x06054b50;
constexpr quint32 kVersionNeeded = 20;
// 1980-01-01 00:00 as a DOS date and time (fixedZipEntryInfo()).
constexpr quint32 kDosDate = (1u + 32u * 1u) << 16;
constexpr qsizetype kBufferSize = 1 << 20;
constexpr quint64 kLimit = 0xffffffffu;

void put(QByteArray& out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        out.append(char(value & 0xff));
        value >>= 8;
    }
}

// The general-purpose flag minizip derives from the level.
quint32 flagForLevel(int level)
{
    if (level == 8 || level == 9)
        return 2;
    if (level == 2)
        return 4;
    if (level == 1)
        return 6;
    return 0;
}

// `text` is zlib's guess that the data is text, which minizip records as
// the entry's internal attribute.
bool deflateWhole(const QByteArray& data, QByteArray& out, bool& text)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out.resize(qsizetype(deflateBound(&stream, uLong(data.size()))));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    // As minizip drives it: all input without flushing, then the finish.
    int rc = deflate(&stream, Z_NO_FLUSH);
    if (rc == Z_OK || rc == Z_BUF_ERROR)
        rc = deflate(&stream, Z_FINISH);
    const bool done = rc == Z_STREAM_END;
    out.resize(qsizetype(stream.total_out));
    text = stream.data_type == Z_TEXT;
    deflateEnd(&stream);
    return done;
}

} // namespace

bool ZipStreamWriter::fits(qint64 entries, qint64 bytes)
{
    // Headers, names and the central directory stay far below the margin.
    return entries < 0xffff && bytes >= 0 && quint64(bytes) + quint64(entries) * 2 * (kEntryOverhead + 512) < 0xf0000000u;
}

ZipStreamWriter::ZipStreamWriter(const QString& path)
    : m_file(path)
{
}

ZipStreamWriter::~ZipStreamWriter()
{
    m_file.close();
}

bool ZipStreamWriter::open()
{
    m_ok = m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
    if (!m_ok)
        return fileFailed();
    m_buffer.reserve(kBufferSize);
    return m_ok;
}

// The first failure of the file is the one reported.
bool ZipStreamWriter::fileFailed()
{
    if (m_error.isEmpty())
        m_error = m_file.errorString();
    return m_ok = false;
}

bool ZipStreamWriter::flushBuffer()
{
    if (m_buffer.isEmpty())
        return m_ok;
    if (m_ok && !writeWhole(m_file, m_buffer.constData(), m_buffer.size()))
        fileFailed();
    m_buffer.clear();
    return m_ok;
}

bool ZipStreamWriter::writeOut(const char* data, qint64 size)
{
    if (!m_ok)
        return false;
    if (m_buffer.size() + size > kBufferSize && !flushBuffer())
        return false;
    if (size >= kBufferSize) {
        if (!writeWhole(m_file, data, size))
            fileFailed();
    } else
        m_buffer.append(data, size);
    return m_ok;
}

bool ZipStreamWriter::putEntry(const QByteArray& name, int method, int level, quint32 crc, quint64 compressedSize,
                               quint64 uncompressedSize, bool text, bool utf8Name)
{
    if (!m_ok || name.size() > 0xffff || compressedSize >= kLimit || uncompressedSize >= kLimit
        || m_position >= kLimit || m_entries >= 0xffff - 1)
        return m_ok = false;
    const quint32 flag = flagForLevel(level) | (utf8Name ? ZipEntryName::kUtf8Flag : 0);
    // From the version needed to the extra field's length, the local and the
    // central header hold the same fields.
    const auto putShared = [&](QByteArray& header) {
        put(header, kVersionNeeded, 2);
        put(header, flag, 2);
        put(header, quint32(method), 2);
        put(header, kDosDate, 4);
        put(header, crc, 4);
        put(header, quint32(compressedSize), 4);
        put(header, quint32(uncompressedSize), 4);
        put(header, quint32(name.size()), 2);
        put(header, 0, 2); // extra field
    };
    QByteArray local;
    put(local, kLocalMagic, 4);
    putShared(local);
    local.append(name);

    put(m_central, kCentralMagic, 4);
    put(m_central, 0, 2); // made by
    putShared(m_central);
    put(m_central, 0, 2); // comment
    put(m_central, 0, 2); // disk
    put(m_central, text ? 1 : 0, 2); // internal attributes
    put(m_central, 0, 4); // external attributes
    put(m_central, quint32(m_position), 4);
    m_central.append(name);

    ++m_entries;
    m_position += quint64(local.size()) + compressedSize;
    return writeOut(local.constData(), local.size());
}

ZipStreamWriter::Packed ZipStreamWriter::pack(const QByteArray& data)
{
    Packed packed;
    if (data.size() > qsizetype(UINT_MAX) || !deflateWhole(data, packed.bytes, packed.text))
        return packed;
    packed.crc = quint32(crc32_z(crc32_z(0, nullptr, 0), reinterpret_cast<const Bytef*>(data.constData()),
                                 size_t(data.size())));
    packed.size = quint64(data.size());
    packed.ok = true;
    return packed;
}

bool ZipStreamWriter::addDeflated(const QByteArray& name, const QByteArray& data, bool utf8Name)
{
    return addPacked(name, pack(data), utf8Name);
}

bool ZipStreamWriter::addPacked(const QByteArray& name, const Packed& packed, bool utf8Name)
{
    if (!packed.ok)
        return m_ok = false;
    return putEntry(name, Z_DEFLATED, Z_DEFAULT_COMPRESSION, packed.crc, quint64(packed.bytes.size()), packed.size,
                    packed.text, utf8Name)
        && writeOut(packed.bytes.constData(), packed.bytes.size());
}

bool ZipStreamWriter::addRaw(const QByteArray& name, int method, int level, quint32 crc, quint64 uncompressedSize,
                             QFile& source, qint64 offset, quint64 compressedSize, bool utf8Name)
{
    return putEntry(name, method, level, crc, compressedSize, uncompressedSize, false, utf8Name)
        && copyFrom(source, offset, compressedSize);
}

bool ZipStreamWriter::copyFrom(QFile& source, qint64 offset, quint64 size)
{
    if (!flushBuffer())
        return false;
    quint64 left = size;
#ifdef Q_OS_LINUX
    // Within the kernel: no pass through this process's memory.
    loff_t in = offset;
    while (left > 0) {
        const ssize_t copied = ::copy_file_range(source.handle(), &in, m_file.handle(), nullptr,
                                                 size_t(std::min<quint64>(left, 1u << 30)), 0);
        if (copied <= 0)
            break;
        left -= quint64(copied);
    }
    // The file's own position moved with the copy; QFile is told so.
    if (left != size && !m_file.seek(qint64(m_position - left)))
        return fileFailed();
    offset += qint64(size - left);
#endif
    if (left > 0 && !source.seek(offset))
        return m_ok = false;
    QByteArray chunk;
    while (m_ok && left > 0) {
        chunk.resize(qsizetype(std::min<quint64>(left, quint64(kBufferSize))));
        if (source.read(chunk.data(), chunk.size()) != chunk.size())
            return m_ok = false;
        left -= quint64(chunk.size());
        writeOut(chunk.constData(), chunk.size());
    }
    return m_ok;
}

bool ZipStreamWriter::close()
{
    const quint64 centralStart = m_position;
    if (m_ok && centralStart >= kLimit)
        m_ok = false;
    QByteArray end;
    put(end, kEndMagic, 4);
    put(end, 0, 2);
    put(end, 0, 2);
    put(end, m_entries, 2);
    put(end, m_entries, 2);
    put(end, quint32(m_central.size()), 4);
    put(end, quint32(centralStart), 4);
    put(end, 0, 2); // comment
    writeOut(m_central.constData(), m_central.size());
    writeOut(end.constData(), end.size());
    flushBuffer();
    m_file.close();
    if (m_ok && m_file.error() != QFileDevice::NoError)
        fileFailed();
    return m_ok;
}
