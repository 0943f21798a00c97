#include "artwork/SavedConfigLedger.h"

#include "artwork/ArtClaimLock.h"

#include "model/DeviceFile.h"
#include "model/ErrorText.h"
#include "model/FileEntries.h"
#include "model/FolderCopy.h"
#include "model/InstallRoots.h"
#include "model/SafeWrite.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

// Far beyond the paths of every file a user keeps; a larger file is not a
// list of this program's.
constexpr qint64 kListBound = 16 * 1024 * 1024;
const QByteArray kHeader = "korvelanto-saved-configs\t1\n";
// Kept readable: a line break never appears unescaped in a path.
const QByteArray kPlain = "/:@-._~!$&'()*+,;= ";

QString tr(const char* text)
{
    return QCoreApplication::translate("SavedConfigLedger", text);
}

QString cleaned(const QString& file)
{
    return QDir::cleanPath(QFileInfo(file).absoluteFilePath());
}

bool namesSet(const pugi::char_t* text)
{
    return QByteArray::fromRawData(text, qsizetype(qstrlen(text))).toLower().contains("s04_homebrew");
}

// Whether a text or value anywhere in the document names the homebrew set
// (as a page's folder, a mask's art, a background): then a template's
// delete or replace may take away what the file shows.
struct HomebrewFinder : pugi::xml_tree_walker {
    bool found = false;
    bool for_each(pugi::xml_node& node) override
    {
        found = namesSet(node.value());
        for (pugi::xml_attribute a = node.first_attribute(); a && !found; a = a.next_attribute())
            found = namesSet(a.value());
        return !found;
    }
};

} // namespace

void SavedConfigLedger::noteSaved(const QString& file, const std::vector<DeviceFile*>& devices)
{
    bool pointsAtArt = false;
    for (DeviceFile* device : devices) {
        HomebrewFinder finder;
        if (device)
            device->doc.traverse(finder);
        pointsAtArt = pointsAtArt || finder.found;
    }
    QString error;
    if (!note(file, pointsAtArt, &error))
        qWarning().noquote() << "SavedConfigLedger: a delete or replace of a template may not learn that"
                             << QDir::toNativeSeparators(file) << "uses it:" << error;
}

QString SavedConfigLedger::path()
{
    return appDataDir() + QStringLiteral("/saved-configs.tsv");
}

bool SavedConfigLedger::read(QStringList& files, QString* why)
{
    files.clear();
    const QString file = path();
    const FileEntries::Kind kind = FileEntries::kindOf(file);
    if (kind == FileEntries::Kind::Missing)
        return true;
    QByteArray bytes;
    if (kind != FileEntries::Kind::Regular || !FolderCopy::readRegularFile(file, kListBound, &bytes)
        || !bytes.startsWith(kHeader))
        return failWith(why, tr("%1, the list of the configurations Korvelanto saved, cannot be read")
                                 .arg(QDir::toNativeSeparators(file)));
    // Whole lines only: one an abnormal end cut short is left out.
    qsizetype at = kHeader.size();
    for (qsizetype end = bytes.indexOf('\n', at); end >= 0; at = end + 1, end = bytes.indexOf('\n', at)) {
        const QString listed = QUrl::fromPercentEncoding(bytes.mid(at, end - at));
        if (!listed.isEmpty() && !files.contains(listed))
            files << listed;
    }
    return true;
}

bool SavedConfigLedger::note(const QString& file, bool pointsAtArt, QString* error)
{
    const QString saved = cleaned(file);
    QString why;
    // The data folder may be kept on another disk through a link: it is
    // followed as that folder; the list in it is a plain file all the same.
    if (!FileEntries::makeKeptFolder(appDataDir(), &why))
        return failWith(error, why);
    const QString list = path();
    const QString lockFile = list + QStringLiteral(".lock");
    for (const QString& own : {list, lockFile}) {
        why = FileEntries::notPlainFile(own);
        if (!why.isEmpty())
            return failWith(error, why);
    }
    const ArtClaimLock lock(lockFile);
    if (!lock.held())
        return failWith(error, tr("cannot write %1: another editor holds it").arg(QDir::toNativeSeparators(list)));
    QStringList files;
    if (!read(files, &why))
        qWarning().noquote() << "SavedConfigLedger::note: starting anew:" << why;
    QByteArray bytes = kHeader;
    for (const QString& listed : std::as_const(files)) {
        // The file saved now goes last, or not at all; one that is gone
        // uses nothing any more.
        if (listed != saved && FileEntries::kindOf(listed) != FileEntries::Kind::Missing)
            bytes += QUrl::toPercentEncoding(listed, kPlain) + '\n';
    }
    if (pointsAtArt)
        bytes += QUrl::toPercentEncoding(saved, kPlain) + '\n';
    // Replaced whole by a fresh file renamed over it, never through a link.
    why = FileEntries::notPlainFile(list);
    if (!why.isEmpty() || !writeWorkingFile(list, bytes, &why))
        return failWith(error, why);
    return true;
}
