#include "reports/DebugReport.h"

#include "reports/LogFile.h"
#include "model/DashConfig.h"
#include "model/InstallRoots.h"
#include "model/ZipWriter.h"
#include "templates/PageTemplateLibrary.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUuid>

namespace debugreport {
namespace {

QString utcTimestamp()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

QString indentedJson(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
}

QJsonValue settingValue(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
        return value.toInt();
    case QMetaType::Double:
        return value.toDouble();
    default:
        return value.toString();
    }
}

QJsonObject typeCounts(const PageModel& page)
{
    int analog = 0, digit = 0, bar = 0, icon = 0, label = 0, unknown = 0;
    for (const MaskElement& mask : page.masks) {
        switch (mask.kind) {
        case MaskAnalog: ++analog; break;
        case MaskDigit: ++digit; break;
        case MaskBargraph: ++bar; break;
        case MaskIcon: ++icon; break;
        case MaskLabel: ++label; break;
        default: ++unknown; break;
        }
    }
    return {{QStringLiteral("analog"), analog}, {QStringLiteral("digit"), digit},
            {QStringLiteral("bar"), bar},       {QStringLiteral("icon"), icon},
            {QStringLiteral("label"), label},   {QStringLiteral("unknown"), unknown}};
}

QJsonObject pageSummary(int index, const PageModel& page)
{
    return {{QStringLiteral("index"), index},
            {QStringLiteral("name"), page.name},
            {QStringLiteral("width"), page.width},
            {QStringLiteral("height"), page.height},
            {QStringLiteral("overlay_idx"), page.deviceFileIndex},
            {QStringLiteral("dash_key"), page.deviceFolder},
            {QStringLiteral("rel_path"), page.relPagePath},
            {QStringLiteral("element_count"), int(page.masks.size())},
            {QStringLiteral("type_counts"), typeCounts(page)}};
}

QByteArray templatesListing()
{
    const QString root = homebrewTemplatesDir();
    QString text = QStringLiteral("root: %1\n\n").arg(root);
    listFolder(root, text, 3);
    return text.toUtf8();
}

QByteArray userMessage(const ReportInputs& inputs)
{
    return (QStringLiteral("email: %1\n\n").arg(inputs.email)
            + QStringLiteral("message:\n%1\n").arg(inputs.message))
        .toUtf8();
}

// The configuration itself, or a note saying why it is not there. A file
// that exists but cannot be read is left out.
void addConfigAttachment(zipFile zip, const QString& configPath)
{
    const QFileInfo info(configPath);
    if (!info.exists()) {
        writeZipEntry(zip, QStringLiteral("config/NOT_FOUND.txt"), configPath.toUtf8());
        return;
    }
    if (info.size() > kMaxAttachmentBytes) {
        const QString note = QStringLiteral("%1 is %2 bytes, over the %3 byte attachment cap")
                                 .arg(info.fileName(), QString::number(info.size()),
                                      QString::number(kMaxAttachmentBytes));
        writeZipEntry(zip, QStringLiteral("config/TOO_LARGE.txt"), note.toUtf8());
        return;
    }
    QFile file(configPath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return;
    writeZipEntry(zip, QStringLiteral("config/") + info.fileName(), bytes);
}

// Entries 1 to 9 in their fixed order. A failed entry is simply missing.
void writeEntries(zipFile zip, const ReportInputs& inputs)
{
    writeZipEntry(zip, QStringLiteral("metadata.json"), metadataJson(inputs).toUtf8());
    writeZipEntry(zip, QStringLiteral("settings.json"), settingsJson().toUtf8());
    writeZipEntry(zip, QStringLiteral("paths.json"), pathsJson().toUtf8());
    writeZipEntry(zip, QStringLiteral("appdata_templates.txt"), templatesListing());
    writeZipEntry(zip, QStringLiteral("rs3_s04_homebrew.txt"), homebrewListing().toUtf8());
    writeZipEntry(zip, QStringLiteral("current_config.json"), currentConfigJson(inputs).toUtf8());
    writeZipEntry(zip, QStringLiteral("app_log.txt"), readLogTail(logFilePath(), kLogTailLines));
    if (inputs.attachConfig && !inputs.configPath.isEmpty())
        addConfigAttachment(zip, inputs.configPath);
    writeZipEntry(zip, QStringLiteral("user_message.txt"), userMessage(inputs));
}

// The temporary archive holds the configuration and the user's e-mail, so it
// is removed however the build ends.
class TemporaryArchive {
public:
    explicit TemporaryArchive(QString path) : m_path(std::move(path)) {}
    ~TemporaryArchive()
    {
        if (QFileInfo::exists(m_path) && !QFile::remove(m_path))
            qWarning() << "buildReportZip: could not remove the temporary report" << m_path;
    }
    TemporaryArchive(const TemporaryArchive&) = delete;
    TemporaryArchive& operator=(const TemporaryArchive&) = delete;
    const QString& path() const { return m_path; }

private:
    QString m_path;
};

QString temporaryFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    return folder.isEmpty() ? QDir::tempPath() : folder;
}

} // namespace

QByteArray buildReportZip(const ReportInputs& inputs)
{
    flushLogFile();
    const TemporaryArchive archive(temporaryFolder() + QStringLiteral("/korvelanto_debugreport_")
                                   + QUuid::createUuid().toString(QUuid::WithoutBraces)
                                   + QStringLiteral(".zip"));
    zipFile zip = openZipForWrite(archive.path());
    if (!zip)
        return {};
    writeEntries(zip, inputs);
    // A failed close leaves an archive without its directory: nothing to send.
    if (zipClose(zip, nullptr) != ZIP_OK)
        return {};
    QFile file(archive.path());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {};
    return bytes;
}

QString metadataJson(const ReportInputs& inputs)
{
    const QJsonObject object{
        {QStringLiteral("app"), QStringLiteral("Korvelanto")},
        {QStringLiteral("version"), QCoreApplication::applicationVersion()},
        {QStringLiteral("git_sha"), QString()},
        {QStringLiteral("timestamp_utc"), utcTimestamp()},
        {QStringLiteral("os"), QSysInfo::prettyProductName()},
        {QStringLiteral("kernel"), QStringLiteral("%1 %2").arg(QSysInfo::kernelType(), QSysInfo::kernelVersion())},
        {QStringLiteral("cpu_arch"), QSysInfo::currentCpuArchitecture()},
        {QStringLiteral("qt_version"), QString::fromLatin1(qVersion())},
        {QStringLiteral("user_email"), inputs.email},
        {QStringLiteral("has_message"), !inputs.message.isEmpty()},
    };
    return indentedJson(object);
}

QString settingsJson()
{
    const QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
    QJsonObject object;
    for (const QString& key : settings.allKeys())
        object.insert(key, settingValue(settings.value(key)));
    return indentedJson(object);
}

QJsonObject pathStatusJson(const QString& path)
{
    const QFileInfo info(path);
    return {{QStringLiteral("path"), path},
            {QStringLiteral("exists"), info.exists()},
            {QStringLiteral("is_dir"), info.isDir()},
            {QStringLiteral("writeable"), info.isWritable()}};
}

QString pathsJson()
{
    QJsonArray overlays;
    for (const QString& root : rs3OverlayRoots())
        overlays.append(pathStatusJson(root));
    const QJsonObject object{
        {QStringLiteral("raceStudio3Root"), pathStatusJson(configuredRaceStudio3Root())},
        {QStringLiteral("appDataRoot"), pathStatusJson(appDataDir())},
        {QStringLiteral("homebrewTemplatesRoot"), pathStatusJson(homebrewTemplatesDir())},
        {QStringLiteral("overlayRoots"), overlays},
        {QStringLiteral("logFile"), pathStatusJson(logFilePath())},
    };
    return indentedJson(object);
}

QString currentConfigJson(const ReportInputs& inputs)
{
    DashConfig* config = inputs.config;
    if (!config)
        return indentedJson({{QStringLiteral("open"), false}});
    QJsonArray pages;
    const int count = config->pageCount();
    for (int i = 0; i < count; ++i) {
        if (const PageModel* page = config->page(i))
            pages.append(pageSummary(i, *page));
    }
    const QJsonObject object{
        {QStringLiteral("open"), true},
        {QStringLiteral("path"), inputs.configPath},
        {QStringLiteral("file_name"), QFileInfo(inputs.configPath).fileName()},
        {QStringLiteral("device_type"), config->deviceName},
        {QStringLiteral("device_code"), config->typeCode},
        {QStringLiteral("page_count"), count},
        {QStringLiteral("pages"), pages},
    };
    return indentedJson(object);
}

} // namespace debugreport
