#include "model/DashConfig.h"
#include "model/DocumentDigest.h"
#include "model/SamePath.h"
#include "model/SafeWrite.h"

#include "artwork/SavedConfigLedger.h"
#include "model/DeviceTables.h"
#include "model/XmlParams.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QBuffer>
#include <algorithm>
#include <charconv>
#include <future>
#include <optional>
#include <cstring>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("DashConfig", text);
}

bool isParam(pugi::xml_node p, const char* name)
{
    return std::strcmp(p.attribute("n").value(), name) == 0;
}

// The parameter's text when it is exactly one text node, else null.
const char* soleText(pugi::xml_node p)
{
    const pugi::xml_node only = p.first_child();
    return only && !only.next_sibling() && only.type() == pugi::node_pcdata ? only.value() : nullptr;
}

// Replaces everything inside a parameter with one text node. An empty value
// leaves the parameter without a text node, as a reload would read it, so
// that a second save writes the same bytes.
void setParamText(pugi::xml_node p, const QByteArray& value)
{
    // A parameter that already holds exactly this leaves the document as
    // it is: most saves rewrite values that did not change.
    const char* current = soleText(p);
    if (value.isEmpty() ? !p.first_child() : current && std::strcmp(current, value.constData()) == 0)
        return;
    while (p.first_child())
        p.remove_child(p.first_child());
    if (!value.isEmpty())
        p.append_child(pugi::node_pcdata).set_value(value.constData());
}

// A whole number's digits, formatted without allocating: most saves compare
// them with what the parameter already holds and write nothing.
struct Digits {
    explicit Digits(int value)
    {
        length = size_t(std::to_chars(text, text + sizeof text - 1, value).ptr - text);
        text[length] = '\0';
    }
    QByteArray bytes() const { return QByteArray(text, qsizetype(length)); }
    char text[16];
    size_t length;
};

// setParamText with a whole number, formatted only when it differs.
void setParamNumber(pugi::xml_node p, int value)
{
    const Digits digits(value);
    const char* current = soleText(p);
    if (!current || std::strcmp(current, digits.text) != 0)
        setParamText(p, digits.bytes());
}

// "120,35" keeps its tail after the new number; ",35" and "120" do not.
QByteArray positionWithTail(const QByteArray& current, int value)
{
    const int comma = current.indexOf(',');
    QByteArray text = QByteArray::number(value);
    if (comma >= 1)
        text += current.mid(comma);
    return text;
}

// XPOS/YPOS of a widget: the number is replaced, a firmware tail kept.
void setPosition(pugi::xml_node p, int value)
{
    const Digits digits(value);
    const char* current = soleText(p);
    if (current) {
        // A leading comma leaves an empty head, never equal: that tail is dropped.
        const char* comma = std::strchr(current, ',');
        const size_t head = comma ? size_t(comma - current) : std::strlen(current);
        if (head == digits.length && std::memcmp(current, digits.text, digits.length) == 0)
            return;
    }
    setParamText(p, positionWithTail(QByteArray(p.text().get()), value));
}

// Every <e c="GMaskParam"> of every page of the file, the walk all the save
// passes share.
template <typename Visit>
void forEachMask(pugi::xml_node gconf, const Visit& visit)
{
    for (pugi::xml_node page = gconf.child("e"); page; page = page.next_sibling("e")) {
        if (!hasClass(page, "GPageParam"))
            continue;
        for (pugi::xml_node mask = page.child("e"); mask; mask = mask.next_sibling("e")) {
            if (hasClass(mask, "GMaskParam"))
                visit(mask);
        }
    }
}

// Pass A: a bound Axis that no element of its mask refers to is left over
// from a rebinding or a deleted widget. Every non-Axis element's AXIS_REF
// protects an Axis, whatever its class, so a binding RS3 uses is never lost.
// The Axis is only left out of the file: the open document keeps it, so an
// undo that brings its widget back after the save finds its channel.
void collectUnreferencedAxes(pugi::xml_node mask, std::vector<pugi::xml_node>& unreferenced)
{
    // Most masks bind no channel: nothing to look up then.
    bool bound = false;
    for (pugi::xml_node e = mask.child("e"); e && !bound; e = e.next_sibling("e"))
        bound = hasClass(e, "Axis") && !paramValue(e, "lnm").trimmed().isEmpty();
    if (!bound)
        return;
    // A mask holds a handful of references: a sorted list beats a hash here.
    std::vector<QByteArray> referenced;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "Axis"))
            continue;
        for (pugi::xml_node p = e.child("p"); p; p = p.next_sibling("p")) {
            const char* n = p.attribute("n").value();
            if (n[0] != 'A' || std::strcmp(n, "AXIS_REF") != 0)
                continue;
            referenced.push_back(QByteArray(p.text().get()).trimmed());
        }
    }
    std::sort(referenced.begin(), referenced.end());
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (!hasClass(e, "Axis"))
            continue;
        const QByteArray id = QByteArray(e.attribute("i").value()).trimmed();
        if (!std::binary_search(referenced.begin(), referenced.end(), id) && !paramValue(e, "lnm").trimmed().isEmpty())
            unreferenced.push_back(e);
    }
}

// The first lnm and TipoDevConten of an Axis, trimmed, in one walk of its
// parameters.
void readBindingKeys(pugi::xml_node axis, QByteArray& lnm, QByteArray& tipo)
{
    bool seenLnm = false;
    bool seenTipo = false;
    for (pugi::xml_node p = axis.child("p"); p && !(seenLnm && seenTipo); p = p.next_sibling("p")) {
        const char* n = p.attribute("n").value();
        if (!seenLnm && std::strcmp(n, "lnm") == 0) {
            lnm = QByteArray(p.text().get()).trimmed();
            seenLnm = true;
        } else if (!seenTipo && std::strcmp(n, "TipoDevConten") == 0) {
            tipo = QByteArray(p.text().get()).trimmed();
            seenTipo = true;
        }
    }
}

// Removes from copy the nodes that stand, in the same tree shape, where the
// left-out nodes stand in source.
void dropFromCopy(pugi::xml_node source, pugi::xml_node copy, const std::vector<pugi::xml_node>& leftOut)
{
    pugi::xml_node c = copy.first_child();
    for (pugi::xml_node s = source.first_child(); s && c; s = s.next_sibling()) {
        const pugi::xml_node next = c.next_sibling();
        if (std::find(leftOut.begin(), leftOut.end(), s) != leftOut.end())
            copy.remove_child(c);
        else if (s.first_child())
            dropFromCopy(s, c, leftOut);
        c = next;
    }
}

// Pass C: older editors wrote the MXS and Strada codes into bindings of any
// device; only those two are put right, every other code is RS3's own.
void repairLegacyDeviceCode(pugi::xml_node axis, const QByteArray& expected)
{
    QByteArray fidOk;
    QByteArray invalid;
    pugi::xml_node tipo;
    for (pugi::xml_node p = axis.child("p"); p; p = p.next_sibling("p")) {
        const char first = p.attribute("n").value()[0];
        if (first != 'F' && first != 'i' && first != 'T')
            continue;
        if (isParam(p, "FID_OK"))
            fidOk = QByteArray(p.text().get()).trimmed();
        else if (isParam(p, "invalid"))
            invalid = QByteArray(p.text().get()).trimmed();
        else if (isParam(p, "TipoDevConten"))
            tipo = p;
    }
    if (!tipo || fidOk.isEmpty() || invalid == "1")
        return;
    const QByteArray current = QByteArray(tipo.text().get()).trimmed();
    if ((current == "14" || current == "25") && current != expected)
        setParamText(tipo, expected);
}

struct TextStyle {
    QString charset;
    int px = 0;
    QColor colour;
};

// Pass D for one widget element; `record` is null when the mask has fewer
// widget records than widget elements.
void writeWidgetElement(pugi::xml_node e, const WidgetModel* record, const TextStyle& style)
{
    const bool textClass = hasClass(e, "Digit") || hasClass(e, "Label");
    const bool label = hasClass(e, "Label");
    const auto named = [](const char* n, const char* name) { return std::strcmp(n, name) == 0; };
    for (pugi::xml_node p = e.child("p"); p; p = p.next_sibling("p")) {
        const char* n = p.attribute("n").value();
        if (record && named(n, "XPOS")) {
            setPosition(p, record->x);
        } else if (record && named(n, "YPOS")) {
            setPosition(p, record->y);
        } else if (record && named(n, "WIDTH")) {
            setParamNumber(p, record->w);
        } else if (record && named(n, "HEIGHT")) {
            setParamNumber(p, record->h);
        } else if (record && named(n, "POS_ALIGN")) {
            if (!record->posAlign.isEmpty())
                setParamText(p, record->posAlign.toUtf8());
        } else if (textClass && named(n, "CHARSET_DIM")) {
            if (style.px >= 1)
                setParamNumber(p, style.px);
        } else if (textClass && named(n, "CHAR_SET_ID_2")) {
            if (!style.charset.isEmpty())
                setParamText(p, style.charset.toUtf8());
        } else if (named(n, "COLORE")) {
            if (style.colour.isValid())
                setParamText(p, argbColourText(style.colour));
        } else if (label && record && named(n, "TEXT")) {
            if (!record->text.isEmpty())
                setParamText(p, record->text.toUtf8());
        }
    }
}

// setParam with a whole number, leaving a parameter that already holds
// exactly that text as it is.
void setParamUnlessEqual(pugi::xml_node node, const char* name, int value)
{
    const Digits digits(value);
    for (pugi::xml_node p = node.child("p"); p; p = p.next_sibling("p")) {
        if (!isParam(p, name))
            continue;
        const char* current = soleText(p);
        if (current && std::strcmp(current, digits.text) == 0)
            return;
        break;
    }
    setParam(node, name, digits.bytes());
}

// Pass D for one mask: geometry of the GMaskParam, then its widgets paired
// with the records by position among the widget classes.
void writeMaskElement(pugi::xml_node maskNode, const MaskElement& mask)
{
    setParamUnlessEqual(maskNode, "XPOS", mask.x);
    setParamUnlessEqual(maskNode, "YPOS", mask.y);
    setParamUnlessEqual(maskNode, "WIDTH", mask.w);
    setParamUnlessEqual(maskNode, "HEIGHT", mask.h);

    size_t n = 0;
    for (pugi::xml_node e = maskNode.child("e"); e; e = e.next_sibling("e")) {
        if (widgetKindOf(e) < 0)
            continue;
        const WidgetModel* record = n < mask.widgets.size() ? &mask.widgets[n] : nullptr;
        ++n;
        TextStyle style;
        if (record)
            style = {record->charset, record->charsetPx, record->colour};
        else if (hasClass(e, "Digit"))
            style = {mask.digitCharset, mask.digitPx, mask.digitColour};
        else
            style = {mask.labelCharset, mask.labelPx, mask.labelColour};
        writeWidgetElement(e, record, style);
    }
}

// Pass D: the k-th page element of the file is written from the k-th page
// record of that file, the m-th mask element from the m-th mask record.
// Elements beyond the records are left as they are.
void writeGeometryAndStyle(pugi::xml_node gconf, const std::vector<const PageModel*>& filePages)
{
    size_t k = 0;
    for (pugi::xml_node pageNode = gconf.child("e"); pageNode && k < filePages.size();
         pageNode = pageNode.next_sibling("e")) {
        if (!hasClass(pageNode, "GPageParam"))
            continue;
        const PageModel& page = *filePages[k++];
        size_t m = 0;
        for (pugi::xml_node maskNode = pageNode.child("e"); maskNode && m < page.masks.size();
             maskNode = maskNode.next_sibling("e")) {
            if (hasClass(maskNode, "GMaskParam"))
                writeMaskElement(maskNode, page.masks[m++]);
        }
    }
}

// Pass E: the firmware reads XPOS_FW/YPOS_FW; they follow the editor's
// positions but are never created here.
void syncFirmwarePositions(pugi::xml_node element)
{
    pugi::xml_node xpos, ypos, xposFw, yposFw;
    for (pugi::xml_node p = element.child("p"); p; p = p.next_sibling("p")) {
        const char* n = p.attribute("n").value();
        if (n[0] != 'X' && n[0] != 'Y')
            continue; // every element passes here: most names are turned away on their first letter
        if (std::strcmp(n, "XPOS") == 0)
            xpos = p;
        else if (std::strcmp(n, "YPOS") == 0)
            ypos = p;
        else if (std::strcmp(n, "XPOS_FW") == 0)
            xposFw = p;
        else if (std::strcmp(n, "YPOS_FW") == 0)
            yposFw = p;
    }
    if (xpos && xposFw)
        setParamText(xposFw, QByteArray(xpos.text().get()));
    if (ypos && yposFw)
        setParamText(yposFw, QByteArray(ypos.text().get()));
}

// A device file that is not dirty holds what its document does while it is
// the file the editor last read or wrote. One another program changed, or
// one gone from the working folder (a temp cleaner, a virus scanner), is
// written again from the document, so every page the window shows is saved.
bool holdsItsDocument(const DeviceFile& device)
{
    return device.onDisk.isValid() && FileStamp::of(device.filePath) == device.onDisk;
}

// The document goes to the disk whole or not at all: a failed write must not
// leave a truncated device file that a later save would pack. A folder gone
// from the working folder is made again. What is written is deflated for the
// archive meanwhile.
bool writeDocumentSafely(const pugi::xml_document& doc, const QString& path, PrepackedFiles& ahead,
                         QString* error)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = tr("the folder %1 could not be created").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    QFile current(path);
    // The file's size is a close guess of the text's: no regrowing on the way.
    const QByteArray bytes = xmlDocumentBytes(doc, "  ", current.size() + current.size() / 16);
    // The same bytes are not written again: the file keeps its stamp, so the
    // archive writer can copy its entry as it is.
    if (current.size() == bytes.size() && current.open(QIODevice::ReadOnly) && current.readAll() == bytes
        && current.error() == QFileDevice::NoError)
        return true;
    current.close();
    ahead.start(path, bytes);
    const bool written = writeWorkingFile(path, bytes, error);
    ahead.written(path, written);
    if (!written)
        qWarning().noquote() << "writeDeviceDocument: kept the previous file:" << (error ? *error : QString());
    return written;
}

// Replaces an existing preview picture; a read-only one is made writable
// first. A picture that cannot be written is skipped.
bool replacePicture(const QImage& image, const QString& path)
{
    if (!QFileInfo::exists(path))
        return false;
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return false;
    return writeFileSafely(path, png);
}

} // namespace

bool DashConfig::save(const QString& targetPath, QString* error, QString* warning)
{
    digestAtSave.clear();
    if (warning)
        warning->clear();
    auto fail = [error](const QString& reason) {
        qWarning() << "save:" << reason;
        if (error)
            *error = reason;
        return false;
    };
    if (devices.empty() || extractDir.isEmpty())
        return fail(tr("No configuration is open."));
    // The previous file is moved aside to ".bak": a folder must never be.
    if (QFileInfo(targetPath).isDir())
        return fail(tr("%1 is a folder; choose a file name to save to.").arg(QDir::toNativeSeparators(targetPath)));
    // The user's read-only mark is a wish: the file is neither replaced nor
    // made writable behind their back (the permission bits are read, not
    // access(), which ignores them for an administrator).
    if (QFileInfo::exists(targetPath) && !(QFile::permissions(targetPath) & QFileDevice::WriteOwner))
        return fail(tr("%1 is read-only; it was left as it is. Save under another name, or clear its read-only "
                       "mark first.")
                        .arg(QDir::toNativeSeparators(targetPath)));

    prepacked.clear();
    for (DeviceFile* device : devices) {
        if (devices.size() != 1 && !device->dirty && holdsItsDocument(*device))
            continue;
        QString reason;
        if (!writeDeviceDocument(device, &reason)) {
            const QString file = QDir(extractDir).relativeFilePath(device->filePath);
            return fail(reason.isEmpty() ? tr("Could not write the device file %1.").arg(file)
                                         : tr("Could not write the device file %1: %2").arg(file, reason));
        }
    }

    refreshPreviewImages();
    // The documents are final: their fingerprint is taken while the archive
    // is written.
    // Whether the saved file points at homebrew art is read off the same
    // text: what a template's delete or replace must not take away. Made
    // before the parts, so it outlives them on every way out.
    std::vector<SavedConfigLedger::Mention> mentions(devices.size());
    std::vector<std::future<QByteArray>> parts;
    for (size_t d = 0; d < devices.size(); ++d) {
        parts.push_back(std::async(std::launch::async,
                                   [device = devices[d], mention = &mentions[d]] {
                                       return DocumentDigest::part(device->doc, mention);
                                   }));
    }

    // A name that cannot be written (no description, or one that does not
    // parse) must not cost the user the edits: the archive is written with
    // the old name, the rename stays pending for the next save, and the
    // window is told.
    if (renamePending && !writeConfigNameToAimcfg()) {
        qWarning() << "save: the configuration name could not be written; the rename stays pending";
        if (warning)
            *warning = tr("The configuration was saved under its old name: the new name \"%1\" could not be "
                          "written into the device description. It will be tried again at the next save.")
                           .arg(newConfigName);
    }

    // The records the edits staged go first (a file saved without them
    // shows colours nothing can take off); a failed archive puts them back.
    QList<SavedStore> storesBefore;
    if (isSamePath(targetPath, zconf2Path) && !writeStagedRecords(&storesBefore))
        return fail(tr("The records kept beside the file could not be written, so nothing was saved: %1")
                        .arg(sidecarFailure));
    QString reason;
    QString leftOut;
    const bool written = writeZconf2(extractDir, targetPath, &reason, &leftOut);
    prepacked.clear();
    if (!written)
        putBackStaged(storesBefore);
    if (!written)
        return fail(tr("Could not write %1: %2").arg(QDir::toNativeSeparators(targetPath), reason));
    if (warning && !leftOut.isEmpty())
        *warning = warning->isEmpty() ? leftOut : *warning + QStringLiteral("\n\n") + leftOut;
    // Records of an older sidecar move under their mask's page-qualified key
    // with the save of their own configuration (a Save As carries the files
    // and they move at its next save); one that cannot be written is still
    // read under the new key until then.
    if (isSamePath(targetPath, zconf2Path)) {
        if (!rewriteLegacySidecarRecords())
            qWarning() << "save: the sidecars keep their older record keys:" << sidecarFailure;
        // The saved file no longer has the masks these records belonged to;
        // a mask later given one of their names must not inherit them.
        if (!dropRecordsOfGoneMasks())
            qWarning() << "save: records of removed masks stay in the sidecars:" << sidecarFailure;
        // Nor does it keep a record that contradicts it: a style or colour
        // whose art the saved masks do not point at.
        if (dropStaleArtRecords() < 0)
            qWarning() << "save: records the saved file contradicts stay in the sidecars:" << sidecarFailure;
        keepSavedSidecars();
    }
    std::vector<QByteArray> digests;
    for (std::future<QByteArray>& part : parts)
        digests.push_back(part.get());
    digestAtSave = DocumentDigest::of(digests, renamePending, newConfigName);
    SavedConfigLedger::noteSaved(targetPath, std::any_of(mentions.cbegin(), mentions.cend(), [](const auto& m) {
                                     return m.found();
                                 }));
    return true;
}

bool DashConfig::writeDeviceDocument(DeviceFile* file, QString* error)
{
    if (!file)
        return false;
    const pugi::xml_node top = file->doc.child("overlay_cli").child("e");
    const pugi::xml_node gconf = top ? top.find_child_by_attribute("e", "c", "GConfParam") : pugi::xml_node();
    if (!gconf)
        return false;
    const auto found = std::find(devices.begin(), devices.end(), file);
    if (found == devices.end())
        return false;
    const int position = static_cast<int>(found - devices.begin());

    std::vector<int> pageIndices;
    std::vector<const PageModel*> filePages;
    for (int i = 0; i < pageCount(); ++i) {
        if (pages[static_cast<size_t>(i)].deviceFileIndex == position) {
            pageIndices.push_back(i);
            filePages.push_back(&pages[static_cast<size_t>(i)]);
        }
    }

    // Passes A to C in one walk: each reads and changes one mask's own
    // elements only, and each Axis meets them in that order.
    std::vector<pugi::xml_node> leftOut;
    const QByteArray expected =
        typeCode >= 1 ? QByteArray::number(typeCode) : deviceTypeCodeForName(deviceName).toUtf8();
    forEachMask(gconf, [&](pugi::xml_node mask) {
        collectUnreferencedAxes(mask, leftOut);
        for (pugi::xml_node axis = mask.child("e"); axis; axis = axis.next_sibling("e")) {
            if (!hasClass(axis, "Axis"))
                continue;
            QByteArray lnm;
            QByteArray tipo;
            readBindingKeys(axis, lnm, tipo);
            if (!lnm.isEmpty() && (expected.isEmpty() || expected != tipo))
                rebindAxisDeviceCode(axis);
            if (!expected.isEmpty())
                repairLegacyDeviceCode(axis, expected);
        }
    });

    writeGeometryAndStyle(gconf, filePages);
    filePages.clear(); // the propagation below may change the page records

    for (int pageIndex : pageIndices) {
        const int masks = static_cast<int>(pages[static_cast<size_t>(pageIndex)].masks.size());
        for (int m = 0; m < masks; ++m)
            propagateBarAxisRefsForMask(pageIndex, m);
    }

    forEachMask(gconf, [](pugi::xml_node mask) {
        for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e"))
            syncFirmwarePositions(e);
    });

    // The file is written while the records are read again (both only read
    // the document); the records take the new reading once the file holds it.
    std::future<bool> writing = std::async(std::launch::async, [this, file, &leftOut, error] {
        if (leftOut.empty())
            return writeDocumentSafely(file->doc, file->filePath, prepacked, error);
        pugi::xml_document written;
        written.reset(file->doc);
        dropFromCopy(file->doc, written, leftOut);
        return writeDocumentSafely(written, file->filePath, prepacked, error);
    });
    std::vector<std::vector<MaskElement>> reread;
    for (int pageIndex : pageIndices)
        reread.push_back(rereadMasks(pages[static_cast<size_t>(pageIndex)].masks, leftOut));
    const bool ok = writing.get();
    if (!ok)
        return false;
    file->onDisk = FileStamp::of(file->filePath);
    for (size_t i = 0; i < pageIndices.size(); ++i)
        pages[static_cast<size_t>(pageIndices[i])].masks = std::move(reread[i]);
    return true;
}

// The passes of a save bring the document to what the file holds (device
// codes, firmware positions, bar references): the records are read from it
// again, so they are what a reopen of the file reads.
std::vector<MaskElement> DashConfig::rereadMasks(const std::vector<MaskElement>& masks,
                                                 const std::vector<pugi::xml_node>& leftOut)
{
    std::vector<MaskElement> reread;
    reread.reserve(masks.size());
    for (const MaskElement& old : masks) {
        if (!old.node) {
            reread.push_back(old);
            continue;
        }
        MaskElement mask = parseMask(old.node);
        if (std::any_of(leftOut.begin(), leftOut.end(),
                        [&mask](pugi::xml_node axis) { return axis.parent() == mask.node; })) {
            // The file names the mask's channel without the channels it
            // left out; the document keeps them for undo.
            pugi::xml_document written;
            const pugi::xml_node copy = written.append_copy(mask.node);
            dropFromCopy(mask.node, copy, leftOut);
            const MaskElement seen = parseMask(copy);
            mask.channel = seen.channel;
            mask.channelShort = seen.channelShort;
        }
        reread.push_back(std::move(mask));
    }
    return reread;
}

int DashConfig::refreshPreviewImages()
{
    if (!pageRenderer || devices.empty())
        return 0;
    int refreshed = 0;
    for (int d = 0; d < static_cast<int>(devices.size()); ++d) {
        const auto first = std::find_if(pages.begin(), pages.end(),
                                        [d](const PageModel& p) { return p.deviceFileIndex == d; });
        if (first == pages.end())
            continue;
        const int pageIndex = static_cast<int>(first - pages.begin());

        const QString folder = QFileInfo(devices[static_cast<size_t>(d)]->filePath).absolutePath();
        const QString full = folder + QLatin1String("/_preview.png");
        const QString small = folder + QLatin1String("/preview.png");
        // Pictures are only replaced, never created: RS3 decides which exist.
        if (!QFileInfo::exists(full) && !QFileInfo::exists(small))
            continue;

        const QImage image = pageRenderer(pageIndex);
        if (image.isNull() || image.width() <= 0 || image.height() <= 0)
            continue;
        const int smallHeight = std::max(1, qRound(image.height() * 150.0 / image.width()));
        const QImage thumbnail = image.scaled(150, smallHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

        bool written = replacePicture(image, full);
        written = replacePicture(thumbnail, small) || written;
        if (written)
            ++refreshed;

        const QString rows = folder + QLatin1String("/TmpPrwRows");
        if (QFileInfo(rows).isDir()) {
            replacePicture(image, rows + QLatin1String("/_preview.png"));
            replacePicture(thumbnail, rows + QLatin1String("/preview.png"));
        }
    }
    return refreshed;
}

// Rebinds an Axis whose TipoDevConten names another device: the channel
// format parameters are written again for the device this file is saved for.
void DashConfig::rebindAxisDeviceCode(pugi::xml_node axis)
{
    const QByteArray deviceSwtyp = deviceSwtypCode(deviceName).toLatin1();
    writeChannelBindingParams(axis, channelKindOfElement(axis), nullptr, deviceSwtyp.constData());
}

// Bars pass their AXIS_REF on to sibling elements of the same id prefix.
void DashConfig::propagateBarAxisRefsForMask(int page, int mask)
{
    propagateBarAxisRefs(page, mask);
}

QByteArray DashConfig::documentDigest() const
{
    std::vector<QByteArray> parts;
    for (const DeviceFile* device : devices)
        parts.push_back(DocumentDigest::part(device->doc));
    // Records a repair left for the save wait for it like any other edit.
    if (!recordsLeftForSave.isEmpty())
        parts.push_back(QByteArray("records left for the save"));
    if (stagedBarColors || !stagedLists.isEmpty())
        parts.push_back(QByteArray("records waiting for the save"));
    return DocumentDigest::of(parts, renamePending, newConfigName);
}
