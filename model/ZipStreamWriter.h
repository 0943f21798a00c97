#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes a ZIP archive front to back, entry by entry, laid out byte for byte
// as the minizip writer (ZipWriter.h) lays it out: same local and central
// headers, fixed 1980-01-01 date, deflate at zlib's default level with the
// same stream parameters, the text mark zlib guesses on deflated entries and
// none on copied ones. What it adds is the copy of an already deflated
// entry without touching its bytes: they go from the source archive to the
// new one in the kernel where it can, with the checksum and sizes the source
// recorded, instead of being copied byte by byte and checksummed again.
//
// Archives that would need ZIP64 records (4 GiB or 65,535 entries) are
// refused: fits() tells beforehand, and the caller writes those with minizip.
class ZipStreamWriter {
public:
    // The sizes the local and central headers of one entry add.
    static constexpr qint64 kEntryOverhead = 30 + 46;

    // True when an archive of `entries` entries holding about `bytes` bytes
    // of entry data and names stays within the classic ZIP limits.
    static bool fits(qint64 entries, qint64 bytes);

    // An entry deflated ahead of its turn (pack() is safe on any thread).
    struct Packed {
        QByteArray bytes;
        quint32 crc = 0;
        quint64 size = 0;
        bool text = false;
        bool ok = false;
    };
    static Packed pack(const QByteArray& data);

    explicit ZipStreamWriter(const QString& path);
    ~ZipStreamWriter();
    ZipStreamWriter(const ZipStreamWriter&) = delete;
    ZipStreamWriter& operator=(const ZipStreamWriter&) = delete;

    // Creates (truncates) the file.
    bool open();

    // Every entry is named by its stored bytes; utf8Name sets the flag that
    // marks them as UTF-8.

    // One entry deflated at the default level.
    bool addDeflated(const QByteArray& name, const QByteArray& data, bool utf8Name = false);
    // One entry from pack(); false for a failed one.
    bool addPacked(const QByteArray& name, const Packed& packed, bool utf8Name = false);

    // One entry whose `compressedSize` bytes of stored data start at
    // `offset` in `source`, written by `method`/`level` with the given
    // checksum and uncompressed size.
    bool addRaw(const QByteArray& name, int method, int level, quint32 crc, quint64 uncompressedSize,
                QFile& source, qint64 offset, quint64 compressedSize, bool utf8Name = false);

    // Writes the central directory and closes the file; false when anything
    // written since open() failed.
    bool close();

    // Why the archive could not be written, as the system said it (a full
    // disk, a file size limit); empty while nothing failed or the cause was
    // not the file (an entry beyond the limits, a failed pack).
    QString errorString() const { return m_error; }

private:
    bool putEntry(const QByteArray& name, int method, int level, quint32 crc, quint64 compressedSize,
                  quint64 uncompressedSize, bool text, bool utf8Name);
    bool fileFailed();
    bool copyFrom(QFile& source, qint64 offset, quint64 size);
    bool writeOut(const char* data, qint64 size);
    bool flushBuffer();

    QFile m_file;
    QByteArray m_buffer;
    QByteArray m_central;
    quint64 m_position = 0;
    quint32 m_entries = 0;
    bool m_ok = false;
    QString m_error;
};
