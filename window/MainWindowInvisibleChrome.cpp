// Tools > Generate Invisible Chrome: runs the generator script that ships in
// tools/ beside the program on the open configuration.
#include "window/MainWindow.h"

#include "canvas/DashCanvas.h"
#include "model/DashConfig.h"
#include "model/DeviceTables.h"
#include "model/FileStamp.h"
#include "model/InstallRoots.h"
#include "panels/Asker.h"
#include "panels/TitleWidth.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QProcessEnvironment>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

namespace {

struct InterpreterProbe {
    QString program; // empty when none answered
    QString answer;  // its version text, trimmed
};

// Counts only an interpreter that started and finished within 5 s with a
// normal exit and code 0; a hung one is killed.
bool probeInterpreter(const QString& program, QString* answer)
{
    QProcess process;
    process.start(program, {QStringLiteral("--version")});
    if (!process.waitForStarted(5000))
        return false;
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return false;
    *answer = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError()).trimmed();
    return true;
}

InterpreterProbe findInterpreter()
{
    for (const QString& program : {QStringLiteral("python3"), QStringLiteral("python")}) {
        QString answer;
        if (probeInterpreter(program, &answer))
            return {program, answer};
    }
    return {};
}

// True unless the answer names a Python older than 3.10; an answer without
// a version is taken as it is.
bool pythonRecentEnough(const QString& answer)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Python (\\d+)\\.(\\d+)")).match(answer);
    if (!m.hasMatch())
        return true;
    const int major = m.captured(1).toInt();
    const int minor = m.captured(2).toInt();
    return major > 3 || (major == 3 && minor >= 10);
}

QString chromeOutputPath(const QString& input)
{
    const QFileInfo info(input);
    const QString suffix = info.suffix().isEmpty() ? QStringLiteral("zconf2") : info.suffix();
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("_invisible_chrome.")
        + suffix;
}

// The generator keeps the art of earlier runs, since a copy of an earlier
// output anywhere may point at it, and says so in a line of its own.
QString keptArtNote(const QString& collected)
{
    const QStringList lines = collected.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (auto line = lines.crbegin(); line != lines.crend(); ++line)
        if (line->startsWith(QLatin1String("Kept the art of ")))
            return line->trimmed();
    return {};
}

} // namespace

void MainWindow::generateInvisibleChrome()
{
    generateInvisibleChrome(QCoreApplication::applicationDirPath());
}

bool MainWindow::confirmInvisibleChrome(const QString& input, const QString& output)
{
    QDialog dialog(this);
    dialog.setWindowTitle(tr("Generate Invisible Chrome"));
    dialog.setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(&dialog);
    QString text = tr("<b>Input:</b>  %1<br><b>Output:</b> %2<br><br>Generate an invisible-chrome version of the "
                      "current config?")
                       .arg(input.toHtmlEscaped(), output.toHtmlEscaped());
    // The generator reads the file as it is on disk.
    if (hasUnsavedChanges())
        text += tr("<br><br><b>The changes that are not saved are left out:</b> the output is made from the file "
                   "as it was last saved.");
    layout->addWidget(new QLabel(text, &dialog));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Generate"));
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    return Asker::instance().exec(&dialog) == QDialog::Accepted;
}

void MainWindow::generateInvisibleChrome(const QString& appFolder)
{
    const QString title = tr("Generate Invisible Chrome");
    Asker& asker = Asker::instance();
    if (currentFilePath.isEmpty()) {
        asker.information(this, title,
                          tr("Please open a .zconf2 config file first.\n\nThe invisible-chrome generator needs an "
                             "existing theme to\nuse as its background source."));
        return;
    }
    const QString device = overlayFolderForDeviceName(config.deviceName);
    if (device.isEmpty()) {
        asker.warning(this, title,
                      tr("The current file uses an unsupported device type (%1).\n\nInvisible chrome generation is "
                         "supported for MXG 1.2, MXS 1.2,\nMXP, MXT, MXSL, Solo 2 DL, and PDM variants.")
                          .arg(config.deviceName));
        return;
    }
    const InterpreterProbe python = findInterpreter();
    if (python.program.isEmpty()) {
        asker.critical(this, title,
                       tr("Python 3 was not found on the system PATH.\n\nPlease install Python 3.10 or later from "
                          "python.org\nand ensure it is on the PATH."));
        return;
    }
    if (!pythonRecentEnough(python.answer)) {
        asker.critical(this, title,
                       tr("Python 3.10 or later is required (found %1).\n\nPlease upgrade Python and try again.")
                           .arg(python.answer));
        return;
    }
    QString script = appFolder + QStringLiteral("/tools/make_invisible_chrome.py");
    const QString fallback = QDir::cleanPath(appFolder + QStringLiteral("/../../tools/make_invisible_chrome.py"));
    if (!QFileInfo::exists(script) && QFileInfo::exists(fallback))
        script = fallback;
    if (!QFileInfo::exists(script)) {
        asker.critical(this, title,
                       tr("Could not find make_invisible_chrome.py.\n\nExpected at: %1\n\nThis script ships in the "
                          "Korvelanto portable package under tools/.")
                           .arg(appFolder + QStringLiteral("/tools/make_invisible_chrome.py")));
        return;
    }
    if (QFileInfo(currentFilePath).fileName().contains(QLatin1String("invisible_chrome"), Qt::CaseInsensitive)) {
        asker.warning(this, title,
                      tr("This config is already an Invisible Chrome output.\n\nPlease open the original config "
                         "(the one without \"INVISIBLE_CHROME\" in its filename) and try again."));
        return;
    }
    const QString output = chromeOutputPath(currentFilePath);
    if (!confirmInvisibleChrome(currentFilePath, output))
        return;
    runInvisibleChrome(python.program, script, output, device);
}

void MainWindow::runInvisibleChrome(const QString& python, const QString& script, const QString& output,
                                    const QString& device)
{
    const QString title = tr("Generate Invisible Chrome");
    // The script cannot draw text, so the label texts go to it as pictures,
    // drawn from the file it reads rather than from unsaved edits.
    QTemporaryDir labels;
    QString error;
    DashConfig saved;
    if (!labels.isValid() || !saved.load(currentFilePath, &error)
        || !DashCanvas::writeLabelLayers(&saved, labels.path(), &error)) {
        Asker::instance().critical(this, title,
                                   tr("Could not prepare the label texts for the generator.\n\n%1")
                                       .arg(labels.isValid() ? error : labels.errorString()));
        return;
    }
    QProgressDialog progress(tr("Generating invisible chrome...\nThis may take a few seconds."), tr("Cancel"), 0, 0,
                             this);
    progress.setWindowTitle(title);
    widenToTitle(&progress);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);

    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QString collected;
    // Stateful, so a character split between two chunks is not lost.
    QStringDecoder decoder(QStringDecoder::Utf8);
    connect(&process, &QProcess::readyRead, &progress, [&] {
        const QString chunk = decoder.decode(process.readAll());
        collected += chunk;
        const QStringList lines = chunk.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (!lines.isEmpty())
            progress.setLabelText(lines.last().trimmed());
    });
    // Cancel asks the script to stop, so that it takes back what it began,
    // or finishes a placement it already began; one that does not stop
    // (Windows has no polite stop for it) is killed.
    bool cancelled = false;
    connect(&progress, &QProgressDialog::canceled, &process, [&process, &cancelled] {
        cancelled = true;
        process.terminate();
        QTimer::singleShot(5000, &process, [&process] {
            if (process.state() != QProcess::NotRunning)
                process.kill();
        });
    });
    // A run that ends by itself says whether it placed its output (once
    // placed it ends with 0). One killed may have placed it just before: it
    // held the output's lock, so an output replaced since the start is its
    // own, complete.
    const FileStamp before = FileStamp::of(output);
    // The artwork the script bakes lives in the RS3 installs the preferences
    // name; the script cannot read our settings, so it is told. It gets the
    // folders as set, existing or not: it takes them as the editor does, and
    // a missing install is then reported with the folder it was looked for in.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KORVELANTO_RS3_ROOT"), configuredRaceStudio3Root());
    environment.insert(QStringLiteral("KORVELANTO_RS3_BETA_ROOT"), configuredRaceStudio3BetaRoot());
    environment.insert(QStringLiteral("KORVELANTO_LOCAL_OVERLAY_ROOT"), localOverlayRoot());
    process.setProcessEnvironment(environment);
    process.start(python, {script, QStringLiteral("--input"), currentFilePath, QStringLiteral("--output"), output,
                           QStringLiteral("--device"), device, QStringLiteral("--labels"), labels.path()});
    if (!process.waitForStarted(5000)) {
        Asker::instance().critical(this, title,
                                   tr("Failed to start Python process.\n\nCommand: %1 %2").arg(python, script));
        return;
    }
    while (process.state() != QProcess::NotRunning) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        process.waitForFinished(50);
    }
    collected += decoder.decode(process.readAll());
    progress.close();
    const bool normal = process.exitStatus() == QProcess::NormalExit;
    const FileStamp after = FileStamp::of(output);
    const bool placed = normal ? process.exitCode() == 0 : after.isValid() && after != before;
    // Stopped as asked (the script ends with 143 on the polite stop, or was
    // killed) before its output was in place: nothing failed.
    if (cancelled && !placed && (!normal || process.exitCode() == 143)) {
        const QString said = collected.trimmed().section(QLatin1Char('\n'), -1).trimmed();
        statusBar()->showMessage(said.startsWith(QLatin1String("Cancelled")) ? said : tr("Cancelled"), 6000);
        return;
    }
    reportInvisibleChrome(normal ? process.exitCode() : -1, placed, output, collected);
}

void MainWindow::reportInvisibleChrome(int exitCode, bool succeeded, const QString& output, const QString& collected)
{
    const QString title = tr("Generate Invisible Chrome");
    if (succeeded) {
        statusBar()->showMessage(tr("Invisible chrome saved to %1").arg(QFileInfo(output).fileName()), 4000);
        QString text = tr("Invisible chrome config saved to:\n%1\n\nOpen this file in Korvelanto to review the "
                          "widget positions,\nthen upload it via RS3 to the display.")
                           .arg(output);
        const QString kept = keptArtNote(collected);
        if (!kept.isEmpty())
            text += QStringLiteral("\n\n") + kept;
        Asker::instance().information(this, title, text);
        return;
    }
    if (collected.contains(QLatin1String("Cannot clean output folder"), Qt::CaseInsensitive)
        || collected.contains(QLatin1String("Close RaceStudio3"), Qt::CaseInsensitive)) {
        Asker::instance().critical(
            this, title,
            tr("The invisible-chrome output folder could not be cleaned before writing.\n\nThis usually means "
               "RaceStudio3 has the folder open.\n\nSteps to fix:\n  1. Close RaceStudio3.\n  2. Try generating "
               "invisible chrome again.\n\nIf the problem persists, check write permissions on:\n  "
               "C:\\AIM_SPORT\\RaceStudio3\\aim\\resources\\overlay\\...\n\nScript detail:\n%1")
                .arg(collected.right(1000)));
        return;
    }
    Asker::instance().critical(
        this, title,
        tr("The invisible-chrome generator failed (exit code %1).\n\nScript output:\n%2")
            .arg(exitCode)
            .arg(collected.right(2000)));
}
