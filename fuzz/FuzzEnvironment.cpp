#include "FuzzEnvironment.h"

#include "support/ZipFixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

QTemporaryDir& workDir()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/korv-fuzz-XXXXXX"));
    return dir;
}

const char kAimcfg[] =
    "<?xml version=\"1.0\"?>\n<CfgFileFormat><e c=\"Cfg\"><e c=\"Device\"><p n=\"Type\">MXG 1.2</p>"
    "<p n=\"TypeCode\">13</p></e></e></CfgFileFormat>\n";

} // namespace

void FuzzEnvironment::start(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QByteArray home = QFile::encodeName(workDir().path() + QStringLiteral("/home"));
    QDir().mkpath(QString::fromLocal8Bit(home));
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", home + "/.config");
    qputenv("XDG_DATA_HOME", home + "/.local/share");
    QStandardPaths::setTestModeEnabled(true);
    static QApplication app(*argc, *argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tindrel AS"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvelanto"));
    QSettings settings;
    // Only installs that exist count as installs.
    QDir().mkpath(workDir().path() + QStringLiteral("/rs3"));
    QDir().mkpath(workDir().path() + QStringLiteral("/rs3beta"));
    settings.setValue(QStringLiteral("paths/raceStudio3Root"), workDir().path() + QStringLiteral("/rs3"));
    settings.setValue(QStringLiteral("paths/raceStudio3BetaRoot"), workDir().path() + QStringLiteral("/rs3beta"));
    // The diagnostics about hostile input would drown libFuzzer's output.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

QString FuzzEnvironment::filePath(const QString& name)
{
    return workDir().path() + QLatin1Char('/') + name;
}

bool FuzzEnvironment::writeFile(const QString& path, const char* data, size_t size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(data, qint64(size)) == qint64(size);
}

bool FuzzEnvironment::writeConfiguration(const QString& path, const char* xml, size_t size)
{
    return ZipFixture::writeZip(path, QMap<QString, QByteArray>{
                                          {QStringLiteral("dash/overlay.ov3.xml"), QByteArray(xml, qsizetype(size))},
                                          {QStringLiteral("devices/Fuzz.aimcfg"), QByteArray(kAimcfg)}});
}
