#include "panels/ElementCatalog.h"

#include "model/ErrorText.h"
#include "model/FileEntries.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/PathGuard.h"
#include "model/SafeRead.h"
#include "model/SafeWrite.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <limits>

namespace {

const int kFormatVersion = 1;
const int kProgressEvery = 250;

struct CatalogState {
    QList<ElementCatalogEntry> entries;
    bool loaded = false;
    QDateTime scannedAt;
    bool rebuilding = false;
};

CatalogState& state()
{
    static CatalogState s;
    return s;
}

// First row whose class the file names decides the kind.
QString kindForClasses(const QSet<QString>& classes)
{
    static const QList<QPair<QString, QString>> table = {
        {QStringLiteral("Analog"), QStringLiteral("gauge-analog")},
        {QStringLiteral("Ring"), QStringLiteral("gauge-ring")},
        {QStringLiteral("BargraphTrapezio"), QStringLiteral("bar")},
        {QStringLiteral("AiM_Icona"), QStringLiteral("icon")},
        {QStringLiteral("Digit"), QStringLiteral("digit")},
    };
    for (const auto& row : table) {
        if (classes.contains(row.first))
            return row.second;
    }
    return {};
}

QSet<QString> elementClasses(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("<e c=\"([A-Za-z_]+)\""));
    QSet<QString> classes;
    QRegularExpressionMatchIterator it = pattern.globalMatch(text);
    while (it.hasNext())
        classes.insert(it.next().captured(1));
    return classes;
}

int intOrZero(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

QStringList jsonStrings(const QJsonValue& value)
{
    QStringList list;
    for (const QJsonValue& v : value.toArray())
        list << v.toString();
    return list;
}

QJsonArray toJsonArray(const QStringList& list)
{
    QJsonArray array;
    for (const QString& s : list)
        array.append(s);
    return array;
}

// The components between the device (at deviceAt) and the first "masks"
// after it: "dash2" of ".../overlay/pdm/dash2/masks/...", empty when "masks"
// follows the device or is missing.
QString displayAfter(const QStringList& parts, qsizetype deviceAt)
{
    const qsizetype masksAt = parts.indexOf(QStringLiteral("masks"), deviceAt + 1);
    if (masksAt < 0)
        return {};
    return parts.mid(deviceAt + 1, masksAt - deviceAt - 1).join(QLatin1Char('/'));
}

// The display of a relPath ("aim/resources/overlay/<device>/<display>/masks/...").
QString displayOfRelPath(const QString& relPath)
{
    const QStringList parts = relPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const qsizetype overlayAt = parts.lastIndexOf(QStringLiteral("overlay"));
    return overlayAt < 0 ? QString() : displayAfter(parts, overlayAt + 1);
}

QJsonObject entryToJson(const ElementCatalogEntry& e)
{
    QJsonArray scales;
    for (const CatalogScaleFrame& f : e.scales)
        scales.append(QJsonObject{{QStringLiteral("unit"), f.unit},
                                  {QStringLiteral("full"), f.full},
                                  {QStringLiteral("frame"), f.frame}});
    return QJsonObject{
        {QStringLiteral("device"), e.device},
        {QStringLiteral("display"), e.display},
        {QStringLiteral("set"), e.set},
        {QStringLiteral("page"), e.page},
        {QStringLiteral("item"), e.item},
        {QStringLiteral("kind"), e.kind},
        {QStringLiteral("classes"), toJsonArray(e.classes)},
        {QStringLiteral("w"), e.size.width()},
        {QStringLiteral("h"), e.size.height()},
        {QStringLiteral("relPath"), e.relPath},
        {QStringLiteral("absFolder"), e.absFolder},
        {QStringLiteral("art"), toJsonArray(e.art)},
        {QStringLiteral("stable"), e.stable},
        {QStringLiteral("scales"), scales},
    };
}

ElementCatalogEntry entryFromJson(const QJsonObject& o)
{
    ElementCatalogEntry e;
    e.device = o.value(QLatin1String("device")).toString();
    e.set = o.value(QLatin1String("set")).toString();
    e.page = o.value(QLatin1String("page")).toString();
    e.item = o.value(QLatin1String("item")).toString();
    e.kind = o.value(QLatin1String("kind")).toString();
    e.classes = jsonStrings(o.value(QLatin1String("classes")));
    e.size = QSize(o.value(QLatin1String("w")).toInt(0), o.value(QLatin1String("h")).toInt(0));
    e.relPath = o.value(QLatin1String("relPath")).toString();
    // A file written before displays were told apart names none: its
    // relPath still does.
    const QJsonValue display = o.value(QLatin1String("display"));
    e.display = display.isString() ? display.toString() : displayOfRelPath(e.relPath);
    e.absFolder = o.value(QLatin1String("absFolder")).toString();
    e.art = jsonStrings(o.value(QLatin1String("art")));
    e.stable = o.value(QLatin1String("stable")).toBool(true);
    for (const QJsonValue& v : o.value(QLatin1String("scales")).toArray()) {
        const QJsonObject s = v.toObject();
        e.scales << CatalogScaleFrame{s.value(QLatin1String("unit")).toString(), s.value(QLatin1String("full")).toInt(0),
                                      s.value(QLatin1String("frame")).toString()};
    }
    return e;
}

// Far above any element file RS3 ships; a larger one is none of its.
constexpr qint64 kPageFileReadBound = 16 * 1024 * 1024;
// The index we write, of a few hundred bytes an element: far above any.
constexpr qint64 kCatalogReadBound = 256 * 1024 * 1024;

// The encoding an XML declaration names ("encoding=..." before "?>"),
// empty when there is none.
QByteArray declaredEncoding(const QByteArray& bytes)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*<\\?xml[^>]*?\\sencoding\\s*=\\s*[\"']([^\"']+)[\"']"));
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(bytes.left(512)));
    return match.hasMatch() ? match.captured(1).trimmed().toLatin1() : QByteArray();
}

// A page file's text in its own encoding: the one its byte order mark or
// its first '<' shows (UTF-16 or UTF-32), else the one its declaration
// names, else UTF-8. Empty, with *why naming the encoding, when it is one
// Qt cannot decode.
QString pageFileText(const QByteArray& bytes, QString* why)
{
    const std::optional<QStringConverter::Encoding> marked = QStringConverter::encodingForData(bytes, u'<');
    if (marked) {
        QStringDecoder decoder(*marked);
        return decoder(bytes);
    }
    const QByteArray declared = declaredEncoding(bytes);
    if (declared.isEmpty())
        return QString::fromUtf8(bytes);
    QStringDecoder decoder(declared.constData());
    if (!decoder.isValid()) {
        *why = QStringLiteral("it is written in the encoding %1, which cannot be read")
                   .arg(QString::fromLatin1(declared));
        return {};
    }
    return decoder(bytes);
}

// The bytes of a page file: a plain file only, never read through a link
// nor from a pipe or a device, within kPageFileReadBound.
bool readPageFile(const QString& path, QByteArray* bytes, QString* why)
{
    if (FolderCopy::readRegularFile(path, kPageFileReadBound, bytes))
        return true;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return false; // gone since the walk saw it: nothing to name
    if (info.isSymLink())
        *why = QStringLiteral("it is a symbolic link");
    else if (!FolderCopy::isRegularFile(path))
        *why = QStringLiteral("it is not a regular file");
    else if (info.size() > kPageFileReadBound)
        *why = QStringLiteral("it is too large to be an element file");
    else
        *why = QStringLiteral("it cannot be read");
    return false;
}

// The *.png, *.tgz and *.tga files of the folder (any letter case), in name
// order. Matched by suffix: name filters would compile patterns per folder.
QStringList artFiles(const QString& folder)
{
    QStringList names;
    for (const QString& name : SafeRead::filesBelow(folder, false)) {
        if (name.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)
            || name.endsWith(QLatin1String(".tgz"), Qt::CaseInsensitive)
            || name.endsWith(QLatin1String(".tga"), Qt::CaseInsensitive))
            names << name;
    }
    names.sort(Qt::CaseSensitive);
    return names;
}

// Whether a link met in an install stands where a page keeps its items: the
// "Items" folder itself, or one item's folder in it.
bool isItemsStep(const QString& path)
{
    const QStringList parts = path.split(QLatin1Char('/'));
    const auto items = [&](qsizetype back) {
        return parts.size() > back
            && parts.at(parts.size() - 1 - back).compare(QLatin1String("Items"), Qt::CaseInsensitive) == 0;
    };
    return items(0) || items(1);
}

// The element files (*.M2.xml) below folder, as the walk meets them: a
// link there is never walked through, except where a page keeps its items
// (isItemsStep) and the link leads to a folder: a user may keep those on
// another disk, and Add Page and Insert Element read them there too. At
// most two links are followed on any way down (an Items folder and one item
// in it), so one that leads back up ends there. A link at a file is listed,
// for the read to name it.
void elementFilesBelow(const QString& folder, int linksFollowed, QStringList* files)
{
    SafeRead::walk(folder, [&](const SafeRead::Entry& entry) {
        using FileEntries::Kind;
        if (entry.kind == Kind::Folder)
            return true;
        if (entry.kind == Kind::Link && linksFollowed < 2 && isItemsStep(entry.path)
            && FileEntries::keptFolder(entry.path) == FileEntries::Kept::Folder) {
            elementFilesBelow(entry.path, linksFollowed + 1, files);
            return false;
        }
        if ((entry.kind == Kind::Regular || entry.kind == Kind::Link)
            && entry.name.endsWith(QLatin1String(".M2.xml"), Qt::CaseInsensitive))
            files->append(entry.path);
        return false;
    });
}

// A root is the stable install's when it is the stable root or lies below it
// on a folder boundary: ".../RaceStudio3_beta" is not below ".../RaceStudio3".
bool isStableRoot(const QString& stableRoot, const QString& root)
{
    return !stableRoot.isEmpty() && PathGuard::isInside(stableRoot, QDir::fromNativeSeparators(root));
}

} // namespace

QString ElementCatalog::catalogPath()
{
    return appDataDir() + QStringLiteral("/element-catalog.json");
}

bool ElementCatalog::isLoaded()
{
    return state().loaded;
}

const QList<ElementCatalogEntry>& ElementCatalog::entries()
{
    return state().entries;
}

QDateTime ElementCatalog::scannedAt()
{
    return state().scannedAt;
}

void ElementCatalog::resetForTesting()
{
    state() = CatalogState();
}

QStringList ElementCatalog::devices()
{
    QSet<QString> seen;
    QStringList list;
    for (const ElementCatalogEntry& e : state().entries) {
        const QString folder = e.deviceFolder();
        if (!seen.contains(folder)) {
            seen.insert(folder);
            list << folder;
        }
    }
    list.sort(Qt::CaseSensitive);
    return list;
}

bool ElementCatalog::isDeviceStable(const QString& deviceFolder)
{
    for (const ElementCatalogEntry& e : state().entries) {
        if (e.deviceFolder() == deviceFolder)
            return e.stable;
    }
    return false;
}

QList<ElementCatalogEntry> ElementCatalog::entriesInSet(const QString& device, const QString& page)
{
    QList<ElementCatalogEntry> list;
    for (const ElementCatalogEntry& e : state().entries) {
        if (e.device == device && e.page == page)
            list << e;
    }
    return list;
}

QString ElementCatalog::paramValue(const QString& m2Text, const QString& name)
{
    // The name goes into the pattern as it stands; the callers pass fixed
    // parameter names.
    static QHash<QString, QRegularExpression> patterns;
    auto it = patterns.find(name);
    if (it == patterns.end())
        it = patterns.insert(name, QRegularExpression(QStringLiteral("<p n=\"%1\"\\s*>([^<]*)</p>").arg(name)));
    const QRegularExpressionMatch m = it->match(m2Text);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

bool ElementCatalog::parseScaleFrame(const QString& fileName, CatalogScaleFrame& frame)
{
    static const QRegularExpression pattern(QStringLiteral("^scala_([a-z_]+)_ON_(\\d+)\\.png$"));
    const QRegularExpressionMatch m = pattern.match(fileName);
    if (!m.hasMatch())
        return false;
    QString unit = m.captured(1);
    const bool rpm = unit == QLatin1String("rpm");
    // A value beyond what a frame can hold (rpm counts in thousands) names
    // no frame: the picture stays an art file.
    bool ok = false;
    const qlonglong value = m.captured(2).toLongLong(&ok, 10);
    const qlonglong limit = rpm ? std::numeric_limits<int>::max() / 1000 : std::numeric_limits<int>::max();
    if (!ok || value > limit)
        return false;
    const int full = int(rpm ? value * 1000 : value);
    if (!rpm)
        unit.remove(QStringLiteral("vel_"));
    frame.unit = unit;
    frame.full = full;
    frame.frame = fileName;
    return true;
}

bool ElementCatalog::scanPageFile(const QString& filePath, ElementCatalogEntry& entry)
{
    QByteArray bytes;
    QString why;
    QString text;
    if (readPageFile(filePath, &bytes, &why))
        text = pageFileText(bytes, &why);
    if (!why.isEmpty())
        qWarning().noquote() << "ElementCatalog::scanPageFile: left out" << filePath << "-" << why;
    if (text.isEmpty())
        return false;
    const QSet<QString> classes = elementClasses(text);
    const QString kind = kindForClasses(classes);
    if (kind.isEmpty())
        return false;

    const QString folder = QDir::fromNativeSeparators(QFileInfo(filePath).absolutePath());
    const QStringList parts = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const int overlayAt = parts.lastIndexOf(QStringLiteral("overlay"));
    const int setAt = parts.lastIndexOf(QStringLiteral("set"));
    if (overlayAt < 0 || setAt < 0 || overlayAt + 1 >= parts.size() || setAt + 1 >= parts.size())
        return false;

    entry.device = parts.at(overlayAt + 1);
    entry.display = displayAfter(parts, overlayAt + 1);
    entry.set = parts.at(setAt + 1);
    entry.item = parts.last();
    entry.page = parts.at(parts.size() - 3);
    entry.kind = kind;
    entry.classes = QStringList(classes.begin(), classes.end());
    entry.classes.sort(Qt::CaseSensitive);
    entry.size = QSize(intOrZero(paramValue(text, QStringLiteral("WIDTH"))),
                       intOrZero(paramValue(text, QStringLiteral("HEIGHT"))));
    entry.absFolder = folder;
    entry.relPath = QStringLiteral("aim/resources/overlay/") + parts.mid(overlayAt + 1).join(QLatin1Char('/'))
                  + QLatin1Char('/');
    entry.art = artFiles(folder);
    entry.scales.clear();
    for (const QString& name : entry.art) {
        CatalogScaleFrame frame;
        if (parseScaleFrame(name, frame))
            entry.scales << frame;
    }
    return true;
}

bool ElementCatalog::isRebuilding()
{
    return state().rebuilding;
}

int ElementCatalog::rebuild(const Progress& progress, QString* saveError)
{
    if (saveError)
        saveError->clear();
    if (state().rebuilding)
        return -1;
    state().rebuilding = true;
    const int count = scanInstalls(progress, saveError);
    state().rebuilding = false;
    return count;
}

int ElementCatalog::scanInstalls(const Progress& progress, QString* saveError)
{
    const auto report = [&progress](int count, int rootsDone) {
        if (progress)
            progress(count, rootsDone);
    };
    const QString stableRoot = QDir::fromNativeSeparators(raceStudio3Root());
    QList<ElementCatalogEntry> found;
    QSet<QString> keys;
    QSet<QString> stableDevices;
    int rootsDone = 0;
    for (const QString& root : allOverlayRoots()) {
        const bool stable = isStableRoot(stableRoot, root);
        if (QFileInfo(root).isDir()) {
            QStringList files;
            elementFilesBelow(QDir::cleanPath(root), 0, &files);
            files.sort();
            for (const QString& file : std::as_const(files)) {
                ElementCatalogEntry entry;
                if (!scanPageFile(file, entry))
                    continue;
                // The two displays of a device ship sets, pages and items of
                // the same names: the display is part of what an element is.
                const QString folder = entry.deviceFolder();
                if (stable)
                    stableDevices.insert(folder);
                const QString key = folder + QLatin1Char('/') + entry.set + QLatin1Char('/') + entry.page
                                  + QLatin1Char('/') + entry.item;
                if (keys.contains(key))
                    continue; // the first root that has an element wins
                keys.insert(key);
                found << entry;
                if (found.size() % kProgressEvery == 0)
                    report(int(found.size()), rootsDone);
            }
        }
        ++rootsDone;
        report(int(found.size()), rootsDone);
    }
    for (ElementCatalogEntry& e : found)
        e.stable = stableDevices.contains(e.deviceFolder());

    CatalogState& s = state();
    s.entries = found;
    s.loaded = true;
    // Whole seconds: the file keeps no more, so a reload gives the same time.
    const QDateTime now = QDateTime::currentDateTime();
    s.scannedAt = now.addMSecs(-now.time().msec());
    if (!save(saveError))
        qWarning("ElementCatalog::rebuild: could not write %s", qPrintable(catalogPath()));
    return int(found.size());
}

bool ElementCatalog::load()
{
    // The index is ours, in the data folder: a plain file within a bound.
    QByteArray bytes;
    QString why;
    if (!SafeRead::readFile(catalogPath(), kCatalogReadBound, &bytes, &why)) {
        if (FileEntries::kindOf(catalogPath()) != FileEntries::Kind::Missing)
            qWarning().noquote() << "ElementCatalog::load:" << why;
        return false;
    }
    const QJsonObject top = QJsonDocument::fromJson(bytes).object();
    if (top.value(QLatin1String("version")).toInt(0) != kFormatVersion)
        return false;
    QList<ElementCatalogEntry> list;
    for (const QJsonValue& v : top.value(QLatin1String("items")).toArray())
        list << entryFromJson(v.toObject());

    CatalogState& s = state();
    s.entries = list;
    s.loaded = true;
    s.scannedAt = QDateTime::fromString(top.value(QLatin1String("scanned")).toString(), Qt::ISODate);
    return true;
}

bool ElementCatalog::save(QString* error)
{
    const CatalogState& s = state();
    QJsonArray items;
    for (const ElementCatalogEntry& e : s.entries)
        items.append(entryToJson(e));
    const QJsonObject top{
        {QStringLiteral("version"), kFormatVersion},
        {QStringLiteral("scanned"), s.scannedAt.isValid() ? s.scannedAt.toString(Qt::ISODate) : QString()},
        {QStringLiteral("items"), items},
    };
    const QString path = catalogPath();
    // The data folder is taken as it is (kept on another disk through a
    // link, say); the index in it is written only as a plain file.
    const QString folder = appDataDir();
    QString why;
    if (FileEntries::kindOf(folder) == FileEntries::Kind::Missing && !FileEntries::makePath(folder, &why))
        return failWith(error, why);
    // Written beside and renamed over: an interrupted write keeps the old index.
    return writeFileNoLink(path, QJsonDocument(top).toJson(QJsonDocument::Compact), folder, error);
}
