#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class DashConfig;

// Collection of a debug report: one ZIP that describes the program's
// environment and, when the user agrees, carries the open configuration.
// Failures show up as a missing entry, a placeholder text or an empty result.
namespace debugreport {

struct ReportInputs {
    DashConfig* config = nullptr; // not owned; null when nothing is open
    QString configPath;
    QString email; // already trimmed
    QString message;
    bool attachConfig = false;
};

// The attachment cap and the part of the log that is read.
constexpr qint64 kMaxAttachmentBytes = 10485760;
constexpr qint64 kLogTailBytes = 2097152;
constexpr int kLogTailLines = 5000;

// The report archive's bytes; empty when it could not be built or read back.
// The temporary archive never outlives the call.
QByteArray buildReportZip(const ReportInputs& inputs);

QString metadataJson(const ReportInputs& inputs);
QString currentConfigJson(const ReportInputs& inputs);
QString settingsJson();
QString pathsJson();
QJsonObject pathStatusJson(const QString& path);

// Every RS3 s04_homebrew artwork folder of every device family.
QString homebrewListing();

// Appends a listing of the folder's tree, down to `depth` levels.
void listFolder(const QString& folder, QString& output, int depth);

// The last `lineCount` lines of the last 2 MiB of the log.
QByteArray readLogTail(const QString& logPath, int lineCount);

} // namespace debugreport
