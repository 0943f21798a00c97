// The install half of ThemeInstaller: telling the two bundle kinds apart,
// reading a theme bundle and installing either kind.
#include "gallery/ThemeInstaller.h"

#include "gallery/ArtChangeQuestion.h"
#include "gallery/ConfigBundleInstall.h"
#include "gallery/ScratchZip.h"
#include "gallery/ThemeBundle.h"
#include "model/PathGuard.h"
#include "templates/PageTemplateLibrary.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>
#include <QStandardPaths>

namespace gallery {
namespace {

// The background becomes the device's bkg.tgz: one that does not decode
// would install a theme the dash cannot show.
bool decodes(const QByteArray& png)
{
    return !png.isEmpty() && !QImage::fromData(png, "PNG").isNull();
}

} // namespace

QString ThemeInstaller::defaultConfigFolder()
{
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath();
    return documents + QStringLiteral("/Korvelanto");
}

bool ThemeInstaller::installBundleBytes(const QByteArray& bytes)
{
    return isConfigBundle(bytes) ? installConfigBundle(bytes) : installThemeBundle(bytes);
}

bool ThemeInstaller::installThemeBundle(const QByteArray& bytes)
{
    const QString parseError = parseThemeBundle(bytes);
    if (!parseError.isEmpty()) {
        Q_EMIT failed(tr("Bundle parse failed: %1").arg(parseError));
        return false;
    }
    if (!settleThemeInUse())
        return false;
    Q_EMIT progress(85, tr("Installing to devices..."));
    QString error;
    QString keptAside;
    const int written = installThemeToDevices(&error, &keptAside);
    if (written < 0) {
        Q_EMIT failed(tr("Install failed: %1").arg(error));
        return false;
    }
    Q_EMIT progress(100, tr("Done"));
    Q_EMIT installed(written, themeName, keptAside);
    return true;
}

// The install replaces the id's folders whole: where saved pages point into
// them, what they show would change or go, and a page saved outside the
// searched folders is never found. So the user is asked whenever they exist;
// keeping them installs the theme under an id of its own.
bool ThemeInstaller::settleThemeInUse()
{
    const QStringList existing = PageTemplateLibrary::existingThemeFolders(themeId);
    if (existing.isEmpty())
        return true;
    const QHash<QString, TemplateUsers> users = themeUsersLookup
        ? themeUsersLookup({themeId})
        : TemplateUsers::ofFolderNames({themeId}, nullptr, {});
    QString ownId;
    for (int n = 2; n < 10000 && ownId.isEmpty(); ++n) {
        const QString candidate = ArtChangeQuestion::numberedName(themeId, n);
        if (candidate.isEmpty())
            break;
        if (PathGuard::isSafeName(candidate) && PageTemplateLibrary::existingThemeFolders(candidate).isEmpty()
            && PageTemplateLibrary::artSetNameClash(candidate).isEmpty())
            ownId = candidate;
    }
    const ArtFolderInUse theme{themeId, existing, users.value(themeId), ownId, {}};
    const ArtInUseAnswer answer = themeInUseQuestion ? themeInUseQuestion(theme) : ArtInUseAnswer::KeepMine;
    if (answer == ArtInUseAnswer::Cancel) {
        Q_EMIT cancelled();
        return false;
    }
    if (answer == ArtInUseAnswer::Replace)
        return true;
    if (ownId.isEmpty()) {
        Q_EMIT failed(tr("Install failed: a theme or template named '%1' is already installed, and no name of its "
                         "own fits the new one; nothing was changed.")
                          .arg(themeId));
        return false;
    }
    qInfo().noquote() << "ThemeInstaller::settleThemeInUse: kept the user's" << themeId << "- the theme goes to"
                      << ownId;
    themeId = ownId;
    return true;
}

bool ThemeInstaller::installConfigBundle(const QByteArray& bytes)
{
    ScratchZip scratch(QStringLiteral("korvelanto_cfgbundle_"));
    const QString writeError = scratch.write(bytes);
    if (!writeError.isEmpty()) {
        Q_EMIT failed(writeError);
        return false;
    }
    Q_EMIT progress(80, tr("Installing config to RaceStudio3..."));
    ConfigBundleInstallResult result;
    QString error;
    bool declined = false;
    const auto confirm = [this, &declined](const ConfigTarget& target) {
        declined = configTargetCheck && !configTargetCheck(target);
        return !declined;
    };
    ArtInUseCheck artInUse{themeUsersLookup, {}};
    artInUse.ask = [this, &declined](const QList<ArtFolderInUse>& folders) {
        const ArtInUseAnswer answer = artInUseQuestion ? artInUseQuestion(folders) : ArtInUseAnswer::KeepMine;
        declined = answer == ArtInUseAnswer::Cancel;
        return answer;
    };
    // The files done, as a step from 80 to 99 percent, at most every 50 ms:
    // each report repaints the window.
    QElapsedTimer sinceReport;
    sinceReport.start();
    const auto filesDone = [this, &sinceReport](int done, int total) {
        if (total <= 0 || (done < total && sinceReport.elapsed() < 50))
            return;
        sinceReport.restart();
        Q_EMIT progress(80 + int(qint64(19) * done / total),
                        tr("Installing config to RaceStudio3... %1 of %2 files").arg(done).arg(total));
    };
    const bool ok = installConfigInstallBundle(scratch.path(), defaultConfigFolder(), &result, &error, confirm,
                                               artInUse, filesDone);
    scratch.remove();
    if (!ok) {
        if (declined)
            Q_EMIT cancelled();
        else
            Q_EMIT configInstallFailed(tr("Install failed: %1").arg(error), result.configPath, result.kept());
        return false;
    }
    Q_EMIT progress(100, tr("Done"));
    QString name = QFileInfo(result.configPath).completeBaseName();
    if (name.isEmpty())
        name = slug;
    Q_EMIT configInstalled(result.artFileCount, name, result.configPath, result.kept(), result.ownFolders);
    return true;
}

QString ThemeInstaller::parseThemeBundle(const QByteArray& bytes)
{
    themeName.clear();
    themeId.clear();
    themeAssets.backgrounds.clear();
    themeAssets.previews.clear();

    QMap<QString, QByteArray> entries;
    {
        ScratchZip scratch(QStringLiteral("korvelanto_bundle_"));
        const QString writeError = scratch.write(bytes);
        if (!writeError.isEmpty())
            return writeError;
        QString readError;
        if (!readZipEntries(scratch.path(), &entries, &readError))
            return readError.isEmpty() ? tr("zip parse failed") : readError;
    }

    const QByteArray manifestBytes = entries.value(QStringLiteral("theme-manifest.json"));
    if (manifestBytes.isEmpty())
        return tr("theme-manifest.json missing");
    QJsonParseError jsonError;
    const QJsonDocument doc = QJsonDocument::fromJson(manifestBytes, &jsonError);
    if (jsonError.error != QJsonParseError::NoError || !doc.isObject())
        return tr("theme-manifest.json is not valid JSON: %1").arg(jsonError.errorString());
    const QJsonObject manifest = doc.object();

    const QString id = manifest.value(QLatin1String("id")).toString();
    themeName = manifest.value(QLatin1String("name")).toString();
    if (themeName.isEmpty())
        themeName = id.isEmpty() ? slug : id;
    themeId = id.isEmpty() ? slug : id;
    // The id names the folders the install replaces whole, in the store and
    // in every RS3 install.
    if (!PathGuard::isSafeName(themeId))
        return tr("theme id '%1' is not a valid folder name").arg(themeId);
    // Nor may it be the name of the editor's own art in those installs.
    const QString clash = PageTemplateLibrary::artSetNameClash(themeId);
    if (!clash.isEmpty())
        return tr("theme id '%1' cannot be installed: %2").arg(themeId, clash);

    const QJsonArray devices = manifest.value(QLatin1String("devices")).toArray();
    if (devices.isEmpty())
        return tr("manifest lists no devices");
    const QSet<QString> families = bundleFamilies();
    for (const QJsonValue& value : devices) {
        const QString family = value.toString();
        if (family.isEmpty())
            continue;
        if (!families.contains(family)) {
            qWarning().noquote() << "parseThemeBundle: skipping unknown overlay path in manifest:" << family;
            continue;
        }
        const QByteArray background = entries.value(family + QStringLiteral("/bkg.png"));
        if (!decodes(background)) {
            qWarning().noquote() << "parseThemeBundle: bundle missing bkg for" << family;
            continue;
        }
        themeAssets.backgrounds.insert(family, background);
        const QByteArray preview = entries.value(family + QStringLiteral("/prw.png"));
        if (!preview.isEmpty())
            themeAssets.previews.insert(family, preview);
    }
    if (themeAssets.backgrounds.isEmpty())
        return tr("bundle contained no usable device variants");
    return QString();
}

int ThemeInstaller::installThemeToDevices(QString* error, QString* keptAside)
{
    QStringList skipped;
    const int written = PageTemplateLibrary::installHomebrewTheme(themeId, themeName, themeAssets, &skipped, keptAside);
    if (written != 0)
        return written;
    if (error)
        *error = skipped.isEmpty()
            ? tr("no devices written")
            : tr("no devices written -- none of %1 have a base template in the RaceStudio3 install")
                  .arg(skipped.join(QStringLiteral(", ")));
    return -1;
}

} // namespace gallery
