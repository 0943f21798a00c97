#pragma once

#include <QByteArray>
#include <pugixml.hpp>

// Collects what pugixml writes into one in-memory buffer; the caller takes
// the buffer once the document is saved.
struct StringWriter : pugi::xml_writer {
    QByteArray buffer;

    ~StringWriter() override = default;
    void write(const void* data, size_t size) override
    {
        buffer.append(static_cast<const char*>(data), static_cast<qsizetype>(size));
    }
};
