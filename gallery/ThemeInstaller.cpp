#include "gallery/ThemeInstaller.h"

#include "gallery/UrlSchemeRegistry.h"
#include "model/PathGuard.h"

#include <QCoreApplication>
#include <QDebug>
#include <QUrl>
#include <QUrlQuery>

namespace gallery {
namespace {

const QString kLabelKey = QStringLiteral(".");
const QString kProtocolKey = QStringLiteral("URL Protocol");
const QString kCommandKey = QStringLiteral("shell/open/command/.");
const QString kLabel = QStringLiteral("URL:Korvelanto Theme Install");

const char* statusName(QSettings::Status status)
{
    switch (status) {
    case QSettings::AccessError:
        return "AccessError";
    case QSettings::FormatError:
        return "FormatError";
    case QSettings::NoError:
        break;
    }
    return "NoError";
}

QString trimSlashes(QString path)
{
    int start = 0;
    while (start < path.size() && path.at(start) == QLatin1Char('/'))
        ++start;
    int end = path.size();
    while (end > start && path.at(end - 1) == QLatin1Char('/'))
        --end;
    return path.mid(start, end - start);
}

// What the shell runs for a link: "<exe>" "%1", with Windows separators.
QString openCommand(const QString& exePath)
{
    QString native = exePath;
    native.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return QLatin1Char('"') + native + QStringLiteral("\" \"%1\"");
}

} // namespace

InstallRequest ThemeInstaller::parseInstallUrl(const QString& text)
{
    const QUrl url(text, QUrl::TolerantMode);
    if (!url.isValid())
        return {};
    if (url.scheme().compare(QLatin1String("dashtheme"), Qt::CaseInsensitive) != 0
        || url.host(QUrl::FullyDecoded).compare(QLatin1String("install"), Qt::CaseInsensitive) != 0)
        return {};
    const QString slug = trimSlashes(url.path(QUrl::FullyDecoded));
    // The slug becomes a folder name when the item installs: "..", "\",
    // ":" and the like arrive decoded here and would leave the store.
    if (slug.isEmpty() || slug.contains(QLatin1Char('/')) || !PathGuard::isSafeName(slug))
        return {};
    return {slug, QUrlQuery(url).queryItemValue(QStringLiteral("nonce"), QUrl::FullyDecoded)};
}

bool ThemeInstaller::registerUrlScheme()
{
    const auto registry = UrlSchemeRegistry::forCurrentUser();
    return registerUrlScheme(*registry, QCoreApplication::applicationFilePath());
}

bool ThemeInstaller::registerUrlScheme(UrlSchemeRegistry& registry, const QString& exePath)
{
    const QString command = openCommand(exePath);
    if (registry.value(kCommandKey) == command && registry.value(kLabelKey) == kLabel
        && registry.contains(kProtocolKey))
        return true;
    registry.setValue(kLabelKey, kLabel);
    registry.setValue(kProtocolKey, QString());
    registry.setValue(kCommandKey, command);
    const QSettings::Status status = registry.sync();
    if (status != QSettings::NoError) {
        qWarning() << "registerUrlScheme failed:" << statusName(status);
        return false;
    }
    return true;
}

} // namespace gallery
