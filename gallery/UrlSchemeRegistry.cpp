#include "gallery/UrlSchemeRegistry.h"

#include "model/SettingsFile.h"

#include <QCoreApplication>

namespace gallery {

std::unique_ptr<UrlSchemeRegistry> UrlSchemeRegistry::forCurrentUser()
{
#ifdef Q_OS_WIN
    return std::unique_ptr<UrlSchemeRegistry>(new UrlSchemeRegistry(std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\Classes\\dashtheme"), QSettings::NativeFormat)));
#else
    // Handed a registry path, QSettings outside Windows would create a file
    // of that name in the working folder: keep the record with the
    // program's own settings instead, where the start-up looked at it (and
    // moved it aside when it could not be used as a plain file).
    return std::unique_ptr<UrlSchemeRegistry>(new UrlSchemeRegistry(
        std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                    QCoreApplication::organizationName(), SettingsFile::registrationName())));
#endif
}

UrlSchemeRegistry::UrlSchemeRegistry(const QString& iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
}

UrlSchemeRegistry::UrlSchemeRegistry(std::unique_ptr<QSettings> settings)
    : m_settings(std::move(settings))
{
}

UrlSchemeRegistry::~UrlSchemeRegistry() = default;

QString UrlSchemeRegistry::value(const QString& key) const
{
    return m_settings->value(key).toString();
}

bool UrlSchemeRegistry::contains(const QString& key) const
{
    return m_settings->contains(key);
}

void UrlSchemeRegistry::setValue(const QString& key, const QString& value)
{
    m_settings->setValue(key, value);
}

QSettings::Status UrlSchemeRegistry::sync()
{
    m_settings->sync();
    return m_settings->status();
}

} // namespace gallery
