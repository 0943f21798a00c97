#include "app/HeadlessPreview.h"

#include "canvas/DashCanvas.h"
#include "model/DashConfig.h"
#include "model/SafeWrite.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QImage>

#include <cstdio>

namespace {

void writeError(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

bool fitsPixelBudget(const PageModel& page, int scale)
{
    const long long w = static_cast<long long>(page.width) * scale;
    const long long h = static_cast<long long>(page.height) * scale;
    return w > 0 && h > 0 && w <= 65535 && h <= 65535 && w * h <= kMaxPreviewPixels;
}

// Written beside the target and renamed over it, flushed and checked before
// the rename: a full disk or a failed write leaves no partial PNG behind and
// the previous file as it was. The PNG is encoded in memory first, so
// a failing disk never breaks off the encoder half-way.
bool savePng(const QImage& image, const QString& path)
{
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return false;
    // The system's reason goes to the log line the write helper leaves.
    return writeFileSafely(path, png);
}

} // namespace

int runDumpPreview(const QCommandLineParser& parser)
{
    const QString outputPath = parser.value(QStringLiteral("dump-preview"));
    const QString inputPath = parser.value(QStringLiteral("input"));
    const int scale = qMax(1, parser.value(QStringLiteral("scale")).toInt());
    const QString pageText = parser.value(QStringLiteral("page"));
    bool pageOk = false;
    const int pageIndex = pageText.toInt(&pageOk, 10);
    const bool sample = parser.isSet(QStringLiteral("sample-data"));

    if (inputPath.isEmpty()) {
        writeError(QStringLiteral("dump-preview: --input is required\n"));
        return 2;
    }
    DashConfig config;
    QString reason;
    if (!config.load(inputPath, &reason)) {
        writeError(QStringLiteral("dump-preview: open failed: ") + inputPath
                   + (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason) + QLatin1Char('\n'));
        return 2;
    }
    // What the open's art copies skipped or could not write is said, once.
    for (const QString& note : config.artState.notes)
        writeError(QStringLiteral("dump-preview: ") + note + QLatin1Char('\n'));
    if (config.pageCount() == 0) {
        writeError(QStringLiteral("dump-preview: no pages in ") + inputPath + QLatin1Char('\n'));
        return 2;
    }
    if (!pageOk || pageIndex < 0 || pageIndex >= config.pageCount()) {
        writeError(QStringLiteral("dump-preview: --page must be 0..%1 for %2 (got %3)\n")
                       .arg(config.pageCount() - 1)
                       .arg(inputPath, pageText));
        return 2;
    }
    QImage image;
    if (fitsPixelBudget(*config.page(pageIndex), scale)) {
        image = sample ? DashCanvas::renderPageForPreview(&config, pageIndex, true, scale)
                       : DashCanvas::renderPageGeometry(config.page(pageIndex), scale);
    }
    if (image.isNull()) {
        writeError(QStringLiteral("dump-preview: render returned null image\n"));
        return 3;
    }
    // The page is drawn over black, so it is opaque: written without an
    // alpha channel, the PNG is smaller and quicker to encode.
    if (image.hasAlphaChannel())
        image = image.convertToFormat(QImage::Format_RGB32);
    if (!savePng(image, outputPath)) {
        writeError(QStringLiteral("dump-preview: save failed: ") + outputPath + QLatin1Char('\n'));
        return 3;
    }
    return 0;
}
