#include "reports/DebugReport.h"
#include "model/FolderCopy.h"

#include "model/DeviceRegistry.h"
#include "model/InstallRoots.h"
#include "templates/PageTemplateLibrary.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace debugreport {
namespace {

constexpr QDir::Filters kEntries = QDir::Dirs | QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot;

// RS3 shows a device's Homebrew tab only when this file has content; its
// absence is the usual reason a user's themes do not show up.
void noteFolderFile(const QString& folder, QString& out)
{
    const QString consequence = QStringLiteral(" -- RS3 will not show a Homebrew tab for this device\n");
    const QFileInfo info(folder + QStringLiteral("/AiM_folder.xml"));
    if (!info.exists())
        out += QStringLiteral("  AiM_folder.xml MISSING") + consequence;
    else if (info.size() == 0)
        out += QStringLiteral("  AiM_folder.xml is EMPTY (0 bytes)") + consequence;
}

void listSubFolder(const QFileInfo& sub, QString& out)
{
    out += QStringLiteral("  %1/\n").arg(sub.fileName());
    const QFileInfoList entries = QDir(sub.filePath()).entryInfoList(kEntries, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir())
            out += QStringLiteral("    %1/\n").arg(entry.fileName());
        else
            out += QStringLiteral("    %1  %2 bytes\n").arg(entry.fileName(), QString::number(entry.size()));
    }
}

void listHomebrewFolder(const QString& folder, QString& out)
{
    out += QStringLiteral("=== %1 ===\n").arg(folder);
    const QDir dir(folder);
    if (!dir.exists()) {
        out += QStringLiteral("  (not present)\n\n");
        return;
    }
    const QDir::Filters hidden = QDir::Hidden | QDir::NoDotAndDotDot;
    for (const QFileInfo& file : dir.entryInfoList(QDir::Files | hidden, QDir::Name))
        out += QStringLiteral("  %1  %2 bytes\n").arg(file.fileName(), QString::number(file.size()));
    noteFolderFile(folder, out);
    for (const QFileInfo& sub : dir.entryInfoList(QDir::Dirs | hidden, QDir::Name))
        listSubFolder(sub, out);
    out += QLatin1Char('\n');
}

} // namespace

QString homebrewListing()
{
    QStringList families;
    for (const DeviceRow& row : DeviceRegistry::devices())
        families << row.family;
    QString out;
    const QStringList roots = rs3OverlayRoots();
    for (const QString& family : PageTemplateLibrary::expandFamilies(families)) {
        for (const QString& root : roots)
            listHomebrewFolder(root + QLatin1Char('/') + family + QStringLiteral("/masks/set/standard/s04_homebrew"),
                               out);
    }
    return out;
}

void listFolder(const QString& folder, QString& output, int depth)
{
    const QDir root(folder);
    if (!root.exists()) {
        output += QStringLiteral("(missing: %1)\n").arg(folder);
        return;
    }
    QDirIterator it(folder, kEntries, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        const QString rel = root.relativeFilePath(entry.filePath());
        const int d = int(rel.count(QLatin1Char('/')));
        if (d + 1 > depth)
            continue;
        const QString indent(d, QLatin1Char('\t'));
        if (entry.isDir())
            output += QStringLiteral("%1%2/\n").arg(indent, rel);
        else
            output += QStringLiteral("%1%2  %3 bytes\n").arg(indent, rel, QString::number(entry.size()));
    }
}

QByteArray readLogTail(const QString& logPath, int lineCount)
{
    // The log rotates at 5 MiB; something else at its name (a pipe, a link)
    // is not read.
    QByteArray bytes;
    QString why;
    if (logPath.isEmpty() || !FolderCopy::readRegularFile(logPath, qint64(64) * 1024 * 1024, &bytes, &why))
        return logPath.isEmpty() || !QFileInfo::exists(logPath) ? QByteArrayLiteral("(log file not found)\n")
                                                                 : (QStringLiteral("(%1)\n").arg(why)).toUtf8();
    const QList<QByteArray> pieces = bytes.right(kLogTailBytes).replace("\r\n", "\n").split('\n');
    QByteArray tail;
    for (qsizetype i = qMax<qsizetype>(0, pieces.size() - lineCount); i < pieces.size(); ++i)
        tail += pieces.at(i) + '\n';
    return tail;
}

} // namespace debugreport
