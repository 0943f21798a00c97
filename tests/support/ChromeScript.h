#pragma once

#include <QImage>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class QProcess;
class Rs3Fixture;

// The invisible-chrome generator as the build ships it beside the program,
// run for real in a child process over a temporary RS3 install, and the
// program's own headless render to look at what it wrote.
class ChromeScript {
public:
    struct Finished {
        int code = -1;
        QString output; // standard output and error, merged
    };

    // Finds python3 (3.10 or later), the script and the program. Empty when
    // all are there; otherwise why the tests cannot run here.
    QString locate();
    // The script and the program are where locate() expects them.
    bool isBuilt() const;

    // The RS3 roots of the install, as the window hands them over.
    static QProcessEnvironment environment(const Rs3Fixture& rs3);
    Finished generate(const Rs3Fixture& rs3, const QString& input, const QString& output,
                      const QString& device = QStringLiteral("mxg_12"), const QString& labels = {}) const;
    // The page of the configuration as the program draws it with sample
    // data, saved to png; null when the program failed.
    QImage render(const QString& config, int page, const QString& png) const;

    static Finished run(const QString& program, const QStringList& arguments,
                        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    // "<folder>/<name>_invisible_chrome.zconf2" for the input.
    static QString outputOf(const QString& input);
    // The last line the script wrote: its verdict.
    static QString lastLine(const QString& output);
    // A configuration of small pages whose only mask is a box of the colour.
    static bool writeBoxConfig(const QString& path, const QString& argb, int pages = 1);
    // Starts a process that holds the lock a run takes on the output, as a
    // run writing it does, until its input is closed.
    bool holdOutput(QProcess* holder, const QString& output) const;

    QString python;
    QString script;
    QString exe;
};
