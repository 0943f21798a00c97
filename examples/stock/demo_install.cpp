// Writes the demo's RaceStudio 3 install into a Wine-style prefix, at
// <prefix>/drive_c/AIM_SPORT/RaceStudio3, where the editor looks for RS3
// when it runs under that prefix.
#include "DemoStock.h"
#include "Rs3Tree.h"

#include <QDir>
#include <QTextStream>

int main(int argc, char** argv)
{
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: demo_install PREFIX\n";
        return 2;
    }
    const QString prefix = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const Rs3Tree install(prefix + QStringLiteral("/drive_c/AIM_SPORT/RaceStudio3"));
    // The stock sets are the build's alone: what an older build wrote there
    // goes (a page set it offered as a template would still be offered).
    // Art that an editor once made here lies in another set and stays: a
    // saved demo may point at it, and the README's first command takes it
    // along when it makes its working copy of this prefix.
    for (const char* set : {"s01", "s02"}) {
        const QString folder = install.absolutePath(DemoStock::itemPath(QLatin1String(set)));
        if (!QDir(folder).removeRecursively()) {
            err << "Could not clear " << folder << '\n';
            return 1;
        }
    }
    QString error;
    if (!DemoStock::write(install, &error)) {
        err << error << '\n';
        return 1;
    }
    return 0;
}
