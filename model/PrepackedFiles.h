#pragma once

#include "model/FileStamp.h"
#include "model/ZipStreamWriter.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <future>

// Files a save has just written into the working folder, deflated on a
// thread of their own while the save goes on, so that the archive it writes
// last finds them packed. Each is used only while its file is still the one
// written.
class PrepackedFiles {
public:
    using Packing = std::shared_future<ZipStreamWriter::Packed>;

    // Starts deflating bytes, about to be written to `path`.
    void start(const QString& path, const QByteArray& bytes);
    // `path` now holds the bytes started for it, or (written false) does not.
    void written(const QString& path, bool written);
    // The packing of `path` while the file is still what was started for;
    // an invalid one otherwise.
    Packing find(const QString& path) const;
    // Waits for and drops every packing.
    void clear();

private:
    struct Item {
        FileStamp stamp;
        Packing packing;
    };
    QHash<QString, Item> m_items;
};
