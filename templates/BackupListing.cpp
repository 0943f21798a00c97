#include "templates/BackupListing.h"

#include "model/InstallRoots.h"
#include "model/SafeWrite.h"
#include "templates/PageTemplateLibrary.h"

#include <QCoreApplication>
#include <QDir>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("PageTemplateLibrary", text);
}

bool liesIn(const QString& folder, const QString& root)
{
    return !root.isEmpty() && QDir::cleanPath(folder).startsWith(QDir::cleanPath(root) + QLatin1Char('/'));
}

// Where a copy belongs, as the user knows the place.
QString placeOf(const QString& folder)
{
    if (liesIn(folder, homebrewTemplatesDir()))
        return tr("the editor's template store (its Homebrew tab in Add Page)");
    // The stable install first: with both set to one folder, that is it.
    if (liesIn(folder, raceStudio3Root()))
        return tr("the RaceStudio 3 install at %1").arg(QDir::toNativeSeparators(raceStudio3Root()));
    if (liesIn(folder, raceStudio3BetaRoot()))
        return tr("the RaceStudio 3 beta install at %1").arg(QDir::toNativeSeparators(raceStudio3BetaRoot()));
    return tr("the folder it came from");
}

QByteArray readme(const QStringList& folders)
{
    QStringList lines{
        tr("Korvelanto kept these folders here before it removed or replaced them. Each numbered folder is one "
           "of them as it was, hidden files and links included."),
        tr("To put one back: close RaceStudio 3 and Korvelanto, move or rename away what is at its place now, "
           "then move the numbered folder there under the name given."),
        QString()};
    for (int i = 0; i < folders.size(); ++i) {
        const QString native = QDir::toNativeSeparators(folders[i]);
        lines << tr("%1 belongs in %2:").arg(i + 1).arg(placeOf(folders[i]))
              << QStringLiteral("    ") + native;
    }
    return lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}

} // namespace

bool writeBackupListing(const QString& root, const QStringList& folders, QString* error)
{
    QByteArray listing;
    for (int i = 0; i < folders.size(); ++i)
        listing += QByteArray::number(i + 1) + '\t' + folders[i].toUtf8() + '\n';
    // Not waited for on the disk, as the folders moved in beside them are
    // not: a delete costs no sync, and what a crash could cut short is only
    // the listing, never a copy.
    return writeCacheFileNoLink(root + QStringLiteral("/kept.txt"), listing, root, error)
        && writeCacheFileNoLink(root + QStringLiteral("/README.txt"), readme(folders), root, error);
}
