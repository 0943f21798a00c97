#pragma once

#include "gallery/ConfigBundleInstall.h"
#include "gallery/GalleryRequests.h"
#include "gallery/InstallRequest.h"
#include "templates/TemplateUsers.h"
#include "templates/ThemeAssets.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace gallery {

class UrlSchemeRegistry;

// Downloads one gallery item and installs it: posts the item's one-time
// nonce to the gallery's bundle endpoint, reports progress while the bundle
// arrives, and installs it as a homebrew theme or as a configuration install
// bundle. Every install ends in exactly one of installed, configInstalled,
// configInstallFailed, cancelled or failed, after non-decreasing progress
// reports. Also reads dashtheme://
// install links and registers the program as their handler.
class ThemeInstaller : public QObject {
    Q_OBJECT

public:
    // Largest bundle accepted by default; a bigger reply is aborted and
    // reported.
    static constexpr qint64 kMaxBundleBytes = qint64(200) * 1024 * 1024;

    explicit ThemeInstaller(QObject* parent = nullptr, const QUrl& baseUrl = GalleryRequests::defaultBaseUrl());
    ~ThemeInstaller() override;

    // Starts one install. An empty slug or nonce, or a slug that names no
    // item ("." or ".."), fails at once and sends nothing.
    void installFromUrl(const InstallRequest& request);

    // Inactivity timeout of the download; 60 s unless lowered.
    void setTransferTimeout(int milliseconds);
    // Longest a whole download may take, however steadily bytes arrive (a
    // server trickling one byte a second never trips the inactivity
    // timeout); kDefaultDeadlineMs unless changed.
    void setDeadline(int milliseconds);
    static constexpr int kDefaultDeadlineMs = 10 * 60 * 1000;
    // Largest bundle accepted; kMaxBundleBytes unless lowered.
    void setMaxBundleBytes(qint64 bytes);

    // Installs a downloaded bundle of either kind and emits the outcome.
    bool installBundleBytes(const QByteArray& bytes);
    // Asked before a configuration bundle replaces anything (see
    // installConfigInstallBundle); a "no" ends the install as cancelled.
    void setConfigTargetCheck(const ConfigTargetCheck& check)
    {
        configTargetCheck = check;
    }

    // What uses a folder of a theme's id: a theme bundle is not installed
    // over one in use (the pictures saved pages show would change or go).
    // Without one, RaceStudio 3's configurations are looked at.
    using ThemeUsersLookup = std::function<TemplateUsers(const QString& folderName)>;
    void setThemeUsersLookup(const ThemeUsersLookup& lookup) { themeUsersLookup = lookup; }

    // Asked before a configuration bundle's art replaces files of template
    // folders in use (found through the users lookup above); Cancel ends the
    // install as cancelled. Without one the user's art is kept.
    using ArtInUseQuestion = std::function<ArtInUseAnswer(const QList<ArtFolderInUse>& folders)>;
    void setArtInUseQuestion(const ArtInUseQuestion& question) { artInUseQuestion = question; }
    // What uses the template folders a configuration bundle's art would
    // change, counted once per install; without one, RaceStudio 3's
    // configurations.
    void setBundleUsersLookup(const FolderUsersLookup& lookup) { bundleUsersLookup = lookup; }

    // Reads a theme bundle into the bundle state; empty on success, else the
    // message. The theme id must be one plain folder name.
    QString parseThemeBundle(const QByteArray& bytes);

    // Installs the parsed theme for every device it carries; the number of
    // devices written, or -1 with *error set.
    int installThemeToDevices(QString* error = nullptr, QString* keptAside = nullptr);

    // Where an installed configuration is placed: Documents/Korvelanto (the
    // home folder when there are no documents).
    static QString defaultConfigFolder();

    // Slug and nonce of dashtheme://install/<slug>?nonce=<nonce> (scheme and
    // host in any case, slug and nonce decoded); both empty for any other
    // text, and for a slug that cannot be a folder name of its own.
    static InstallRequest parseInstallUrl(const QString& text);

    // Makes sure the current user's store names this program as the handler
    // of dashtheme:// links; true when it already did or was written.
    static bool registerUrlScheme();

    // The same against a given store, for the program at exePath. An
    // unchanged registration is never rewritten.
    static bool registerUrlScheme(UrlSchemeRegistry& registry, const QString& exePath);

public Q_SLOTS:
    void onNetworkFinished(QNetworkReply* reply);
    // Stops a running download; the install ends in cancelled() and nothing
    // is written. Nothing happens when no download
    // runs (an install already being written into place finishes).
    void cancel();

Q_SIGNALS:
    void progress(int percent, const QString& stage);
    // keptAside: the dated folder holding what the theme replaced (a page
    // template of its name, a theme from elsewhere), empty when nothing was.
    void installed(int deviceCount, const QString& themeName, const QString& keptAside);
    // kept: where what the install replaced was kept (the configuration of
    // the same name, the folder of replaced RS3 art); empty when nothing was.
    // ownFolders: a line per template folder in use whose files the user
    // kept, naming the folder the bundle's art went to instead.
    void configInstalled(int artFileCount, const QString& configName, const QString& configPath,
                         const QStringList& kept, const QStringList& ownFolders);
    // A configuration bundle that could not be installed: reason says why
    // and what was put back; configPath and kept name the copies of what
    // could not be (empty when everything was).
    void configInstallFailed(const QString& reason, const QString& configPath, const QStringList& kept);
    // The user stopped the install (the download, or the question before a
    // configuration is replaced); nothing was written.
    void cancelled();
    void failed(const QString& reason);

private:
    ConfigTargetCheck configTargetCheck;
    ThemeUsersLookup themeUsersLookup;
    ArtInUseQuestion artInUseQuestion;
    FolderUsersLookup bundleUsersLookup;
    void onDownloadProgress(qint64 received, qint64 total);
    void stopDownload(const QString& reason);
    QString failureReason(const QNetworkReply* reply) const;
    bool installConfigBundle(const QByteArray& bytes);
    bool installThemeBundle(const QByteArray& bytes);

    QNetworkAccessManager* m_network;
    QUrl m_baseUrl;
    int m_transferTimeoutMs;
    qint64 m_maxBundleBytes;
    QTimer* m_deadline;
    QPointer<QNetworkReply> m_reply;
    QString m_stopReason;
    // The stop was the user's Cancel, not a deadline.
    bool m_cancelledByUser = false;
    QString slug;
    QString nonce;
    QString themeName;
    QString themeId;
    ThemeAssets themeAssets;
};

} // namespace gallery
