#include "model/DashConfig.h"
#include "model/ErrorText.h"
#include "model/FolderCopy.h"
#include "model/SafeWrite.h"
#include "model/ChannelKind.h"
#include "model/SidecarJson.h"
#include "model/SidecarKeys.h"
#include "model/XmlParams.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

using namespace SidecarJson;

namespace {

const char* const kMasks = "masks";
const char* const kIcons = "icons";

// The endings of the four stores' files, in the order of sidecarFileNames.
const char* const kSidecarSuffixes[] = {".boxstyles.json", ".multibox.json", ".barcolor.json", ".iconpreview.json"};

QString sidecarPath(const QString& zconf2Path, const char* suffix)
{
    if (zconf2Path.isEmpty())
        return {};
    const QFileInfo info(zconf2Path);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QLatin1String(suffix);
}

QString tr(const char* text)
{
    return QCoreApplication::translate("DashConfig", text);
}

// The list of records in a store's bytes; *why says why they hold none
// when they are no store, and is cleared otherwise.
QJsonObject parseList(const QByteArray& bytes, const char* listKey, QString* why)
{
    why->clear();
    if (bytes.trimmed().isEmpty())
        return {}; // an empty file holds no record to lose
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    const QJsonValue member = doc.object().value(QLatin1String(listKey));
    if (parseError.error != QJsonParseError::NoError)
        *why = tr("%1 at byte %2").arg(parseError.errorString()).arg(parseError.offset);
    else if (!doc.isObject())
        *why = tr("it holds no JSON object");
    else if (!member.isUndefined() && !member.isObject())
        *why = tr("its \"%1\" member is no JSON object").arg(QLatin1String(listKey));
    else
        return member.toObject();
    return {};
}

// Far above what any store holds; a larger file is none of ours.
constexpr qint64 kStoreReadBound = 16 * 1024 * 1024;

// A store's bytes: a plain file only, never read through a symbolic link
// (it may lead out of the configuration's folder) nor from a pipe or a
// device, and within kStoreReadBound. False with the reason otherwise.
bool readStoreFile(const QString& path, QByteArray* bytes, QString* why)
{
    if (FolderCopy::readRegularFile(path, kStoreReadBound, bytes))
        return true;
    const QFileInfo info(path);
    if (info.isSymLink())
        *why = tr("it is a symbolic link");
    else if (!FolderCopy::isRegularFile(path))
        *why = tr("it is not a regular file");
    else if (info.size() > kStoreReadBound)
        *why = tr("it is larger than %1 bytes").arg(kStoreReadBound);
    else
        *why = tr("it cannot be opened");
    return false;
}

// The store's list of records. A file that is there but is no store (a
// hand edit that broke its syntax, a file that cannot be opened, a link or
// a pipe in its place) reads as no records, and *unreadable says why; it
// stays empty otherwise.
QJsonObject readList(const QString& path, const char* listKey, QString* unreadable = nullptr)
{
    if (unreadable)
        unreadable->clear();
    const QFileInfo info(path);
    // A folder in the way is a store that cannot be written, said so by the
    // write.
    if (path.isEmpty() || (!info.exists() && !info.isSymLink()) || (info.isDir() && !info.isSymLink()))
        return {};
    QString why;
    QJsonObject list;
    QByteArray bytes;
    if (readStoreFile(path, &bytes, &why))
        list = parseList(bytes, listKey, &why);
    if (unreadable)
        *unreadable = why;
    return list;
}

// What the user reads about a store that cannot be read.
QString unreadableStoreText(const QString& path, const QString& why)
{
    return tr("%1 cannot be read (%2). It is kept as it is and none of its records are used: correct or remove "
              "the file, then try again.")
        .arg(QDir::toNativeSeparators(path), why);
}

// The whole store is rewritten through QSaveFile: a failed write keeps the
// previous file (and the artwork origins that removals depend on), and
// *error says why. A file that cannot be read is never written over or
// removed: its records would be lost with it. *previous gets the records
// the file held before.
bool writeList(const QString& path, const char* listKey, const QJsonObject& list, QString* error,
               QJsonObject* previous = nullptr)
{
    if (path.isEmpty())
        return true;
    QString unreadable;
    const QJsonObject before = readList(path, listKey, &unreadable);
    if (previous)
        *previous = before;
    if (!unreadable.isEmpty()) {
        qWarning().noquote() << "saveSidecar: kept" << path << "that cannot be read:" << unreadable;
        *error = unreadableStoreText(path, unreadable);
        return false;
    }
    if (list.isEmpty()) {
        if (QFileInfo::exists(path) && !QFile::remove(path)) {
            qWarning() << "saveSidecar: could not remove" << path;
            *error = tr("cannot remove %1").arg(QDir::toNativeSeparators(path));
            return false;
        }
        return true;
    }
    QJsonObject root;
    root.insert(QStringLiteral("version"), 1);
    root.insert(QLatin1String(listKey), list);
    if (!writeFileNoLink(path, QJsonDocument(root).toJson(QJsonDocument::Indented), QString(), error)) {
        qWarning().noquote() << "saveSidecar: kept the previous file:" << *error;
        return false;
    }
    return true;
}

// A record of a file written before keys named the page, read under the key
// of the mask it serves (see adoptLegacySidecarRecords). A mask that has a
// record under its own key keeps that one.
template <typename Record>
QMap<QString, Record> withAdopted(QMap<QString, Record> records, const QHash<QString, QString>& adopted)
{
    for (auto it = adopted.constBegin(); it != adopted.constEnd(); ++it) {
        if (records.contains(it.key()) && !records.contains(it.value()))
            records.insert(it.value(), records.take(it.key()));
    }
    return records;
}

QMap<QString, IconPreviewRecord> iconRecords(const QString& path)
{
    return iconRecordsOf(readList(path, kIcons));
}

// A store's list as the configuration has it: the one waiting for the save,
// else its file's.
QJsonObject currentList(const QMap<SidecarStore, QJsonObject>& staged, SidecarStore store, const QString& path,
                        const char* listKey)
{
    const auto it = staged.constFind(store);
    return it != staged.constEnd() ? *it : readList(path, listKey);
}

// A file's list as its own records write it, so a list that only spells a
// record otherwise is not taken for a change.
QJsonObject writtenList(SidecarStore store, const QString& path)
{
    switch (store) {
    case SidecarStore::BoxStyles:
        return listOf(recordsOf<BoxStyleRecord>(readList(path, kMasks), boxStyleFromJson), boxStyleToJson);
    case SidecarStore::MultiBoxes:
        return listOf(recordsOf<MultiBoxRecord>(readList(path, kMasks), multiBoxFromJson), multiBoxToJson);
    case SidecarStore::IconPreviews:
        return iconList(iconRecords(path));
    case SidecarStore::BarColors:
        break;
    }
    return readList(path, kMasks);
}

// The keys whose records differ between two lists of one store.
void noteChangedRecords(const QJsonObject& before, const QJsonObject& after, QSet<QString>* keys)
{
    for (auto it = before.constBegin(); it != before.constEnd(); ++it) {
        if (after.value(it.key()) != it.value())
            keys->insert(it.key());
    }
    for (auto it = after.constBegin(); it != after.constEnd(); ++it) {
        if (!before.contains(it.key()))
            keys->insert(it.key());
    }
}

size_t storeIndex(SidecarStore store)
{
    return static_cast<size_t>(store);
}

} // namespace

QString sidecarKey(const QString& prefix, const QString& maskId, int maskIndex)
{
    if (!maskId.isEmpty())
        return maskId;
    return prefix + QString::number(maskIndex);
}

QString iconPreviewKey(const QString& maskId, int maskIndex)
{
    return sidecarKey(QStringLiteral("icon"), maskId, maskIndex);
}

QString DashConfig::boxStylesSidecarPath() const { return sidecarPath(zconf2Path, kSidecarSuffixes[0]); }
QString DashConfig::multiBoxSidecarPath() const { return sidecarPath(zconf2Path, kSidecarSuffixes[1]); }
QString DashConfig::barColorSidecarPath() const { return sidecarPath(zconf2Path, kSidecarSuffixes[2]); }
QString DashConfig::iconPreviewSidecarPath() const { return sidecarPath(zconf2Path, kSidecarSuffixes[3]); }

QStringList DashConfig::sidecarFileNames(const QString& baseName)
{
    QStringList names;
    for (const char* suffix : kSidecarSuffixes)
        names << baseName + QLatin1String(suffix);
    return names;
}

QStringList DashConfig::sidecarPathsOf(const QString& zconf2Path)
{
    QStringList paths;
    for (const char* suffix : kSidecarSuffixes)
        paths << sidecarPath(zconf2Path, suffix);
    return paths;
}

QStringList DashConfig::sidecarPaths() const
{
    return sidecarPathsOf(zconf2Path);
}

QMap<QString, BarColorRecord> DashConfig::loadBarColorSidecar() const
{
    if (stagedBarColors)
        return *stagedBarColors;
    return withAdopted(recordsOf<BarColorRecord>(readList(barColorSidecarPath(), kMasks), barColorFromJson),
                       legacyRecordKeys[storeIndex(SidecarStore::BarColors)]);
}

QMap<QString, BoxStyleRecord> DashConfig::loadBoxStyleSidecar() const
{
    const QJsonObject list = currentList(stagedLists, SidecarStore::BoxStyles, boxStylesSidecarPath(), kMasks);
    return withAdopted(recordsOf<BoxStyleRecord>(list, boxStyleFromJson),
                       legacyRecordKeys[storeIndex(SidecarStore::BoxStyles)]);
}

QMap<QString, MultiBoxRecord> DashConfig::loadMultiBoxSidecar() const
{
    const QJsonObject list = currentList(stagedLists, SidecarStore::MultiBoxes, multiBoxSidecarPath(), kMasks);
    return withAdopted(recordsOf<MultiBoxRecord>(list, multiBoxFromJson),
                       legacyRecordKeys[storeIndex(SidecarStore::MultiBoxes)]);
}

QMap<QString, IconPreviewRecord> DashConfig::loadIconPreviewSidecar() const
{
    const QJsonObject list = currentList(stagedLists, SidecarStore::IconPreviews, iconPreviewSidecarPath(), kIcons);
    return withAdopted(iconRecordsOf(list), legacyRecordKeys[storeIndex(SidecarStore::IconPreviews)]);
}

// Each writer notes why it failed, for the message of the edit it served;
// the first failure since the edit cleared the note is the one kept.
bool DashConfig::noteSidecarWrite(bool written, const QString& why)
{
    if (!written && sidecarFailure.isEmpty())
        sidecarFailure = why;
    return written;
}

bool DashConfig::writeStore(const QString& path, const char* listKey, const QJsonObject& list)
{
    QString why;
    QJsonObject before;
    const bool written = writeList(path, listKey, list, &why, &before);
    if (written && !path.isEmpty())
        noteChangedRecords(before, list, &sidecarRecordsWritten[path]);
    return noteSidecarWrite(written, why);
}

bool DashConfig::saveBarColorSidecar(const QMap<QString, BarColorRecord>& records)
{
    if (!writeStore(barColorSidecarPath(), kMasks, listOf(records, barColorToJson)))
        return false;
    // The file holds the records now; nothing waits for it any more.
    stagedBarColors.reset();
    return true;
}

// A bar's record follows its art, and the art the saved file points at
// stays in the installs until the next save: the record that file draws from
// must stay beside it until then too, or an editor that ends without saving
// leaves a file whose bars Remove color and Color… no longer understand.
bool DashConfig::stageBarColorSidecar(const QMap<QString, BarColorRecord>& records)
{
    const QString path = barColorSidecarPath();
    if (path.isEmpty())
        return true;
    const QString unreadable = sidecarReadFailure(SidecarStore::BarColors);
    if (!unreadable.isEmpty()) {
        qWarning().noquote() << "stageBarColorSidecar: kept" << path << "that cannot be read";
        return noteSidecarWrite(false, unreadable);
    }
    stagedBarColors.reset();
    if (records != loadBarColorSidecar())
        stagedBarColors = records;
    return true;
}


// Like the bar colours, the other records wait for the save: a file left by
// an editor that ended without saving keeps the records it was saved with,
// so no later resize or repair draws a box in a style it never had.
bool DashConfig::saveBoxStyleSidecar(const QMap<QString, BoxStyleRecord>& records)
{
    return stageStore(SidecarStore::BoxStyles, listOf(records, boxStyleToJson));
}

bool DashConfig::saveIconPreviewSidecar(const QMap<QString, IconPreviewRecord>& records)
{
    return stageStore(SidecarStore::IconPreviews, iconList(records));
}

bool DashConfig::saveMultiBoxEntry(const QString& key, int rows, int cols, const QString& labelPlacement)
{
    if (multiBoxSidecarPath().isEmpty() || key.isEmpty())
        return true;
    QMap<QString, MultiBoxRecord> records = loadMultiBoxSidecar();
    records.insert(key, MultiBoxRecord{rows, cols, labelPlacement});
    return saveMultiBoxSidecar(records);
}

bool DashConfig::saveMultiBoxSidecar(const QMap<QString, MultiBoxRecord>& records)
{
    return stageStore(SidecarStore::MultiBoxes, listOf(records, multiBoxToJson));
}

namespace {

// The file of one store, beside the configuration.
QString storePath(const DashConfig& config, SidecarStore store)
{
    switch (store) {
    case SidecarStore::BarColors:
        return config.barColorSidecarPath();
    case SidecarStore::BoxStyles:
        return config.boxStylesSidecarPath();
    case SidecarStore::MultiBoxes:
        return config.multiBoxSidecarPath();
    case SidecarStore::IconPreviews:
        return config.iconPreviewSidecarPath();
    }
    return {};
}

} // namespace

QString DashConfig::sidecarReadFailure(SidecarStore store) const
{
    const QString path = storePath(*this, store);
    QString why;
    readList(path, store == SidecarStore::IconPreviews ? kIcons : kMasks, &why);
    return why.isEmpty() ? QString() : unreadableStoreText(path, why);
}

bool DashConfig::stageStore(SidecarStore store, const QJsonObject& list)
{
    const QString path = storePath(*this, store);
    if (path.isEmpty())
        return true;
    const QString unreadable = sidecarReadFailure(store);
    if (!unreadable.isEmpty()) {
        qWarning().noquote() << "stageStore: kept" << path << "that cannot be read";
        return noteSidecarWrite(false, unreadable);
    }
    stagedLists.remove(store);
    if (list != writtenList(store, path))
        stagedLists.insert(store, list);
    return true;
}

bool DashConfig::sidecarsReadable(std::initializer_list<SidecarStore> stores)
{
    for (const SidecarStore store : stores) {
        const QString why = sidecarReadFailure(store);
        if (!why.isEmpty())
            return noteSidecarWrite(false, why);
    }
    return true;
}

QStringList DashConfig::storedSidecarKeys(SidecarStore store) const
{
    const QString path = storePath(*this, store);
    // Records waiting for the save are the store's too.
    if (store == SidecarStore::BarColors && stagedBarColors) {
        QStringList keys = readList(path, kMasks).keys() + stagedBarColors->keys();
        keys.removeDuplicates();
        return keys;
    }
    if (stagedLists.contains(store)) {
        const char* listKey = store == SidecarStore::IconPreviews ? kIcons : kMasks;
        QStringList keys = readList(path, listKey).keys() + stagedLists.value(store).keys();
        keys.removeDuplicates();
        return keys;
    }
    return store == SidecarStore::IconPreviews ? iconRecords(path).keys() : readList(path, kMasks).keys();
}

bool DashConfig::rewriteLegacySidecarRecords()
{
    bool ok = true;
    // A store none of whose records were adopted at the load is not read.
    const auto holdsAdopted = [this](SidecarStore store) {
        const QHash<QString, QString>& adopted = legacyRecordKeys[storeIndex(store)];
        if (adopted.isEmpty())
            return false;
        for (const QString& key : storedSidecarKeys(store)) {
            if (adopted.contains(key))
                return true;
        }
        return false;
    };
    // The loaders already read each such record under its new key.
    if (holdsAdopted(SidecarStore::BarColors))
        ok = saveBarColorSidecar(loadBarColorSidecar()) && ok;
    if (holdsAdopted(SidecarStore::BoxStyles))
        ok = saveBoxStyleSidecar(loadBoxStyleSidecar()) && ok;
    if (holdsAdopted(SidecarStore::MultiBoxes))
        ok = saveMultiBoxSidecar(loadMultiBoxSidecar()) && ok;
    if (holdsAdopted(SidecarStore::IconPreviews))
        ok = saveIconPreviewSidecar(loadIconPreviewSidecar()) && ok;
    // The save's own rewrite: written at once.
    return writeStagedRecords() && ok;
}

quint32 DashConfig::boxStyleAccentArgb(const QString& key) const
{
    return loadBoxStyleSidecar().value(key).accentArgb;
}

QString DashConfig::boxStyleForElement(const QString& key, pugi::xml_node mask) const
{
    if (!isPlainDigitMask(mask))
        return {};
    const BoxStyleRecord record = loadBoxStyleSidecar().value(key);
    if (!record.styleId.isEmpty() && boxStyleRecordFits(record, mask))
        return record.styleId;
    if (!paramValue(mask, "PATH_IMAGE_SFONDO_FW").isEmpty())
        return QStringLiteral("custom");
    return {};
}

namespace {

// Something at the name, also a link whose target is gone.
bool present(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool readWhole(const QString& path, QByteArray* bytes)
{
    QString why;
    return readStoreFile(path, bytes, &why);
}

const char* listKeyAt(const QString& path)
{
    return path.endsWith(QLatin1String(kSidecarSuffixes[3])) ? kIcons : kMasks;
}

// The records of `written` in one store go back to their saved values (a
// record that was not there goes); the others stay as they are now. A store
// that could not be read, then or now, is left as it is: its records are
// unknown, so neither removing nor rewriting it can be right. When every
// record is back, so are the saved file's bytes.
bool putBackStore(const SavedStore& saved, const QSet<QString>& written, QString* error)
{
    const char* listKey = listKeyAt(saved.path);
    QString why;
    const QJsonObject then = parseList(saved.bytes, listKey, &why);
    if (saved.unreadable || !why.isEmpty() || written.isEmpty())
        return true;
    QJsonObject now = readList(saved.path, listKey, &why);
    if (!why.isEmpty()) {
        qWarning().noquote() << "putBackSavedSidecars: left" << saved.path << "that cannot be read:" << why;
        return true;
    }
    for (const QString& key : written) {
        if (then.contains(key))
            now.insert(key, then.value(key));
        else
            now.remove(key);
    }
    if (now != then)
        return writeList(saved.path, listKey, now, error);
    QByteArray current;
    const bool there = present(saved.path);
    if (!saved.existed) {
        QFile file(saved.path);
        return !there || file.remove()
            || failWith(error, tr("cannot remove %1: %2").arg(QDir::toNativeSeparators(saved.path), file.errorString()));
    }
    if (there && readWhole(saved.path, &current) && current == saved.bytes)
        return true;
    return writeFileNoLink(saved.path, saved.bytes, QString(), error);
}

} // namespace

void DashConfig::keepSavedSidecars()
{
    savedSidecars.clear();
    sidecarRecordsWritten.clear();
    noteSavedRecordUse();
    for (const QString& path : sidecarPaths()) {
        if (path.isEmpty())
            continue;
        SavedStore kept;
        kept.path = path;
        kept.existed = present(path);
        kept.unreadable = kept.existed && !readWhole(path, &kept.bytes);
        savedSidecars.append(kept);
    }
}

bool DashConfig::putBackSavedSidecars(QString* error)
{
    stagedBarColors.reset();
    stagedLists.clear();
    QStringList failed;
    for (const SavedStore& saved : savedSidecars) {
        QString why;
        if (!putBackStore(saved, sidecarRecordsWritten.value(saved.path), &why)) {
            qWarning().noquote() << "putBackSavedSidecars:" << why;
            failed << why;
        }
    }
    return failed.isEmpty() || failWith(error, failed.join(QLatin1Char('\n')));
}

void DashConfig::moveSavedSidecarsTo(const QString& newPath)
{
    const QStringList before = sidecarPaths();
    const QStringList after = sidecarPathsOf(newPath);
    for (SavedStore& saved : savedSidecars) {
        const qsizetype index = before.indexOf(saved.path);
        if (index >= 0)
            saved.path = after.value(index);
    }
    QHash<QString, QSet<QString>> written;
    for (auto it = sidecarRecordsWritten.constBegin(); it != sidecarRecordsWritten.constEnd(); ++it) {
        const qsizetype index = before.indexOf(it.key());
        written.insert(index >= 0 ? after.value(index) : it.key(), it.value());
    }
    sidecarRecordsWritten = written;
}

// With `before`, all or nothing: a store that cannot be written puts back
// the ones written before it, and every record waits again.
bool DashConfig::writeStagedRecords(QList<SavedStore>* before)
{
    sidecarFailure.clear();
    QList<SavedStore> kept;
    const auto keep = [&kept](const QString& path) {
        SavedStore file;
        file.path = path;
        file.existed = QFileInfo::exists(path);
        file.unreadable = file.existed && !readWhole(path, &file.bytes);
        kept.append(file);
    };
    bool ok = true;
    if (stagedBarColors) {
        keep(barColorSidecarPath());
        ok = saveBarColorSidecar(*stagedBarColors);
    }
    for (const SidecarStore store : stagedLists.keys()) {
        const QString path = storePath(*this, store);
        keep(path);
        if (writeStore(path, store == SidecarStore::IconPreviews ? kIcons : kMasks, stagedLists.value(store)))
            stagedLists.remove(store);
        else
            ok = false;
    }
    if (before && !ok)
        putBackStaged(kept);
    else if (before)
        *before = kept;
    return ok;
}

// What the write put in a file waits for the save again (a store whose
// write failed still waits), and the file gets its bytes back.
void DashConfig::putBackStaged(const QList<SavedStore>& before)
{
    for (const SavedStore& file : before) {
        const QString path = file.path;
        if (path == barColorSidecarPath() && !stagedBarColors)
            stagedBarColors = recordsOf<BarColorRecord>(readList(path, kMasks), barColorFromJson);
        for (const SidecarStore store : {SidecarStore::BoxStyles, SidecarStore::MultiBoxes, SidecarStore::IconPreviews}) {
            if (path == storePath(*this, store) && !stagedLists.contains(store))
                stagedLists.insert(store, readList(path, store == SidecarStore::IconPreviews ? kIcons : kMasks));
        }
        QString why;
        const bool back = path.isEmpty() || file.unreadable
            || (file.existed ? writeFileNoLink(path, file.bytes, QString(), &why)
                             : !QFileInfo::exists(path) || QFile::remove(path));
        if (!back)
            qWarning().noquote() << "putBackStaged: the records beside the file stay as written:" << path << why;
    }
}
