#include "app/WindowedStart.h"

#include "app/AfterFirstExpose.h"

#include "window/MainWindow.h"
#include "gallery/ThemeInstaller.h"

#include <QTimer>

WindowedStart WindowedStart::scan(const QStringList& arguments)
{
    WindowedStart start;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg.startsWith(QLatin1String("dashtheme://"), Qt::CaseInsensitive)) {
            const gallery::InstallRequest request = gallery::ThemeInstaller::parseInstallUrl(arg);
            start.installLink = true;
            start.slug = request.slug;
            start.nonce = request.nonce;
            break;
        }
        if (start.filePath.isEmpty() && !arg.startsWith(QLatin1Char('-'))
            && (arg.endsWith(QLatin1String(".zconf2"), Qt::CaseInsensitive)
                || arg.endsWith(QLatin1String(".zconfig"), Qt::CaseInsensitive)))
            start.filePath = arg;
    }
    return start;
}

void WindowedStart::schedule(MainWindow& window) const
{
    MainWindow* target = &window;
    const bool install = !slug.isEmpty() && !nonce.isEmpty();
    if (installLink) {
        // A link that gave no slug or nonce still reaches the install, which
        // tells the user it was malformed instead of starting in silence.
        const QString s = slug;
        const QString n = nonce;
        QTimer::singleShot(100, target, [target, s, n] { target->installThemeFromGallery(s, n); });
    }
    if (!install && !filePath.isEmpty()) {
        const QString path = filePath;
        // After the window's first paint, so that it is drawn and says what
        // the open is doing rather than stay black through a long one.
        AfterFirstExpose::run(target, [target, path] { target->openFilePath(path); });
    }
}
