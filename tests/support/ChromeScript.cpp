#include "support/ChromeScript.h"

#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

QString ChromeScript::locate()
{
    const Finished probe = run(QStringLiteral("python3"), {QStringLiteral("--version")});
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Python (\\d+)\\.(\\d+)")).match(probe.output);
    if (probe.code != 0 || !m.hasMatch() || m.captured(1).toInt() * 100 + m.captured(2).toInt() < 310)
        return QStringLiteral("python3 3.10 or later is not on the PATH, so the generator script cannot run here");
    python = QStringLiteral("python3");
    const QString binary = qEnvironmentVariable("KORV_BINARY_DIR");
    if (binary.isEmpty())
        return QStringLiteral("run through ctest: the built program's folder is not known");
    // The build copies the script beside the program, where the window looks.
    script = binary + QStringLiteral("/app/tools/make_invisible_chrome.py");
    exe = binary + QStringLiteral("/app/korvelanto");
    return {};
}

bool ChromeScript::isBuilt() const
{
    return QFileInfo::exists(script) && QFileInfo::exists(exe);
}

QProcessEnvironment ChromeScript::environment(const Rs3Fixture& rs3)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KORVELANTO_RS3_ROOT"), rs3.root(Rs3Fixture::Stable));
    environment.insert(QStringLiteral("KORVELANTO_RS3_BETA_ROOT"), rs3.root(Rs3Fixture::Beta));
    environment.insert(QStringLiteral("KORVELANTO_LOCAL_OVERLAY_ROOT"), rs3.overlayRoot(Rs3Fixture::Local));
    return environment;
}

ChromeScript::Finished ChromeScript::generate(const Rs3Fixture& rs3, const QString& input, const QString& output,
                                              const QString& device, const QString& labels) const
{
    QStringList arguments{script, "--input", input, "--output", output, "--device", device};
    if (!labels.isEmpty())
        arguments << "--labels" << labels;
    return run(python, arguments, environment(rs3));
}

QImage ChromeScript::render(const QString& config, int page, const QString& png) const
{
    const Finished done =
        run(exe, {"--dump-preview", png, "--input", config, "--page", QString::number(page), "--sample-data"});
    return done.code == 0 ? QImage(png) : QImage();
}

ChromeScript::Finished ChromeScript::run(const QString& program, const QStringList& arguments,
                                         const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted(10000) || !process.waitForFinished(300000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

QString ChromeScript::outputOf(const QString& input)
{
    const QFileInfo info(input);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("_invisible_chrome.zconf2");
}

QString ChromeScript::lastLine(const QString& output)
{
    const QStringList lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last();
}

bool ChromeScript::writeBoxConfig(const QString& path, const QString& argb, int pages)
{
    ConfigFixture cfg;
    for (int i = 0; i < pages; ++i) {
        FixturePage& page = cfg.device().page(i == 0 ? QStringLiteral("Race") : QStringLiteral("Race %1").arg(i + 1));
        page.width = 240;
        page.height = 120;
        page.mask(Fx::mask(QStringLiteral("md.00"), 20 + 10 * i, 20, 120, 60).p(QStringLiteral("M_BCOL"), argb));
    }
    return QDir().mkpath(QFileInfo(path).absolutePath()) && cfg.writeZip(path);
}

bool ChromeScript::holdOutput(QProcess* holder, const QString& output) const
{
    static const char* const code = R"(
import sys
sys.path.insert(0, sys.argv[1])
import chrome_install
with chrome_install.OutputLock(sys.argv[2]):
    print("held", flush=True)
    sys.stdin.read()
)";
    holder->start(python, {"-c", code, QFileInfo(script).absolutePath(), output});
    if (!holder->waitForStarted(10000))
        return false;
    while (!holder->canReadLine() && holder->state() == QProcess::Running)
        holder->waitForReadyRead(10000);
    return holder->readLine().trimmed() == "held";
}
