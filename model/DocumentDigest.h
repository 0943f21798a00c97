#pragma once

#include "artwork/SavedConfigLedger.h"

#include <QByteArray>
#include <QString>

#include <pugixml.hpp>

#include <vector>

// The fingerprint a save takes of a configuration's documents, which later
// tells whether they changed since.
class DocumentDigest {
public:
    DocumentDigest() = delete;
    // One document's part, as pugixml writes its text; `mention`, when
    // given, is fed the same text.
    static QByteArray part(const pugi::xml_document& doc, SavedConfigLedger::Mention* mention = nullptr);
    // The fingerprint of the parts and of a rename waiting for the save.
    static QByteArray of(const std::vector<QByteArray>& parts, bool renamePending, const QString& newName);
};
