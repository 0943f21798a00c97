#pragma once

#include <QString>
#include <QStringList>

class MainWindow;

// What the command line asks of a windowed start: a gallery theme to install
// from a dashtheme:// link, or a configuration file to open.
struct WindowedStart {
    QString filePath;
    QString slug;
    QString nonce;
    bool installLink = false; // a "dashtheme://" argument was given, valid or not

    // Scans the arguments after the program's own name. The first
    // "dashtheme://" argument ends the scan; before it, the first argument
    // that is not an option and names a .zconf2 or .zconfig file (any case)
    // is the file. Option values count as arguments.
    static WindowedStart scan(const QStringList& arguments);

    // Once the event loop runs: the theme install after 100 ms when a link was
    // given (a malformed one is reported there), and the file's open once the
    // shown window is first painted unless the link gave both slug and nonce. The window is the
    // timers' context, so a window already gone drops the call.
    void schedule(MainWindow& window) const;
};
