#include "model/InstallAdvice.h"

#include "model/InstallRoots.h"

#include <QCoreApplication>
#include <QDir>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("InstallAdvice", text);
}

QString under(const QString& root, const QString& relPath)
{
    QString rel = relPath;
    while (rel.endsWith(QLatin1Char('/')))
        rel.chop(1);
    return rel.isEmpty() ? root : root + QLatin1Char('/') + rel;
}

} // namespace

namespace InstallAdvice {

QString foldersText(const QString& stable, const QString& beta)
{
    if (stable.isEmpty() || beta.isEmpty() || beta == stable)
        return QDir::toNativeSeparators(stable.isEmpty() ? beta : stable);
    return tr("%1 or %2").arg(QDir::toNativeSeparators(stable), QDir::toNativeSeparators(beta));
}

QString configuredFoldersText()
{
    return foldersText(configuredRaceStudio3Root(), configuredRaceStudio3BetaRoot());
}

QString noInstall()
{
    const QString looked = configuredFoldersText();
    if (looked.isEmpty())
        return tr("No RaceStudio 3 install was found. Install RaceStudio 3, or set its folders in Tools > "
                  "Preferences.");
    return tr("No RaceStudio 3 install was found at %1. Install RaceStudio 3 there, or set its folders in Tools > "
              "Preferences.")
        .arg(looked);
}

QString lookedFor(const QString& relPath)
{
    const QString stable = raceStudio3Root();
    const QString beta = raceStudio3BetaRoot();
    return foldersText(stable.isEmpty() ? QString() : under(stable, relPath),
                       beta.isEmpty() ? QString() : under(beta, relPath));
}

QString notFound(const QString& relPath)
{
    const QString looked = lookedFor(relPath);
    if (looked.isEmpty())
        return noInstall();
    return tr("Looked for it in %1. If RaceStudio 3 keeps it elsewhere, set its folders in Tools > Preferences.")
        .arg(looked);
}

QString familyNotAllowed(const QString& family)
{
    return tr("The page's display folder \"%1\" is not allowed: it could lead outside the RaceStudio 3 install, "
              "so nothing is looked up or written there.")
        .arg(family);
}

} // namespace InstallAdvice
