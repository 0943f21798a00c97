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
    QString error;
    if (!DemoStock::write(Rs3Tree(prefix + QStringLiteral("/drive_c/AIM_SPORT/RaceStudio3")), &error)) {
        err << error << '\n';
        return 1;
    }
    return 0;
}
