#pragma once

#include <QSettings>
#include <QString>

#include <memory>

namespace gallery {

// Where the handler of dashtheme:// links is recorded: the current user's
// registry classes on Windows, an INI file in the settings folder elsewhere,
// or any INI file a test names. Keys use '/' between sub-keys and "." for a
// key's default value.
class UrlSchemeRegistry {
public:
    // The store of the platform the program runs on.
    static std::unique_ptr<UrlSchemeRegistry> forCurrentUser();

    // An INI file at path.
    explicit UrlSchemeRegistry(const QString& iniPath);
    ~UrlSchemeRegistry();
    UrlSchemeRegistry(const UrlSchemeRegistry&) = delete;
    UrlSchemeRegistry& operator=(const UrlSchemeRegistry&) = delete;

    QString value(const QString& key) const;
    bool contains(const QString& key) const;
    void setValue(const QString& key, const QString& value);
    // Writes pending changes; the store's status afterwards.
    QSettings::Status sync();

private:
    explicit UrlSchemeRegistry(std::unique_ptr<QSettings> settings);

    std::unique_ptr<QSettings> m_settings;
};

} // namespace gallery
