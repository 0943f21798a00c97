#include "templates/HomebrewThemeRenderer.h"

#include "model/InstallRoots.h"
#include "model/SafeRead.h"

#include <QDebug>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kBand = 40;  // height of the header and of the footer band

// Every device's texts are set in the fonts of the mxg_12 font folder.
const QString kFontFamily = QStringLiteral("mxg_12");
const QString kTitleFont = QStringLiteral("AgencyFB_Bold_Wide.ttf");
const QString kSubtitleFont = QStringLiteral("DINOT-Bold.ttf");
// Far above any firmware font.
constexpr qint64 kFontReadBound = qint64(64) * 1024 * 1024;

// Keyed by family + ":" + file name; a -1 id remembers a font not found.
struct FontCaches {
    QHash<QString, int> ids;
    QHash<QString, QString> families;
};

FontCaches& fontCaches()
{
    static FontCaches caches;
    return caches;
}

QString fontKey(const QString& family, const QString& fileName)
{
    return family + QLatin1Char(':') + fileName;
}

QRgb opaque(const QColor& colour)
{
    return qRgb(colour.red(), colour.green(), colour.blue());
}

// Fills the part of rect that lies inside the picture.
void fillRect(QImage& image, const QRect& rect, QRgb colour)
{
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y)) + r.left();
        std::fill(line, line + r.width(), colour);
    }
}

// From 35 % of the primary colour at the top down to (8, 8, 10).
void drawGradientBody(QImage& image, const QColor& primary)
{
    const int h = image.height();
    const int r0 = int(0.35 * primary.red());
    const int g0 = int(0.35 * primary.green());
    const int b0 = int(0.35 * primary.blue());
    const double span = std::max(h - 2 * kBand, 1);
    for (int y = kBand; y <= h - kBand - 1; ++y) {
        const double t = (y - kBand) / span;
        fillRect(image, QRect(0, y, image.width(), 1),
                 qRgb(int((8 - r0) * t + r0), int((8 - g0) * t + g0), int((10 - b0) * t + b0)));
    }
}

// 8 x 8 cells of two grey squares on black, their shade following x + y.
void drawCarbonBody(QImage& image)
{
    const int w = image.width();
    const int h = image.height();
    for (int y = kBand; y < h - kBand; y += 8) {
        for (int x = 0; x < w; x += 8) {
            const int m = (x + y) % 16;
            fillRect(image, QRect(x, y, 4, 4), qRgb(m + 18, m + 18, m + 18));
            fillRect(image, QRect(x + 4, y + 4, 4, 4), qRgb(m + 28, m + 28, m + 30));
        }
    }
}

// Vertical bars brightening to the right, darkened row by row downward.
void drawDiagonalBody(QImage& image, const QColor& primary)
{
    const int w = image.width();
    const int h = image.height();
    const double span = std::max(h - 2 * kBand, 1);
    for (int y = kBand; y <= h - kBand - 1; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; x += 20) {
            const int v = int(0.2 * primary.red() + double(x) / w * 40.0);
            std::fill(line + x, line + std::min(x + 10, w), qRgb(v, v + 5, v + 10));
        }
        // Black with this alpha laid over an opaque row.
        const int keep = 255 - int((y - kBand) * 120.0 / span);
        for (int x = 0; x < w; ++x) {
            const QRgb p = line[x];
            line[x] = qRgb((qRed(p) * keep + 127) / 255, (qGreen(p) * keep + 127) / 255,
                           (qBlue(p) * keep + 127) / 255);
        }
    }
}

void drawBody(QImage& image, const ThemeParams& params)
{
    if (image.height() - kBand <= kBand)
        return;
    switch (params.style) {
    case 0:
        drawGradientBody(image, params.primary);
        break;
    case 1:
        drawCarbonBody(image);
        break;
    case 2:
        drawDiagonalBody(image, params.primary);
        break;
    default:
        break;  // an unknown design leaves the body black
    }
}

void drawBands(QImage& image, const ThemeParams& params)
{
    const int w = image.width();
    const int h = image.height();
    fillRect(image, QRect(0, 0, w, kBand), opaque(params.primary));
    fillRect(image, QRect(0, kBand, w, 3), opaque(params.accent));
    if (params.useSecondary)
        fillRect(image, QRect(0, kBand + 3, w, 2), opaque(params.secondary));
    fillRect(image, QRect(0, h - kBand, w, kBand), qRgb(12, 12, 14));
    fillRect(image, QRect(0, h - kBand - 3, w, 3), opaque(params.accent));
    if (params.useSecondary)
        fillRect(image, QRect(0, h - kBand - 5, w, 2), opaque(params.secondary));
}

void drawTexts(QPainter& painter, int w, int h, const ThemeParams& params)
{
    painter.setFont(HomebrewThemeRenderer::themeFont(kFontFamily, kTitleFont, 28));
    painter.setPen(Qt::white);
    painter.drawText(QRect(16, 6, w - 32, 34), Qt::AlignLeft | Qt::AlignTop, params.title.toUpper());
    if (params.subtitle.isEmpty())
        return;
    painter.setFont(HomebrewThemeRenderer::themeFont(kFontFamily, kSubtitleFont, 14));
    painter.setPen(QColor(200, 200, 200));
    painter.drawText(QRect(16, h - 30, w - 32, 24), Qt::AlignLeft | Qt::AlignTop, params.subtitle.toUpper());
}

// The title (or "DASH") as large as fits 92 % of the width, down to 50 px.
void drawTextWatermark(QPainter& painter, int w, int h, const ThemeParams& params)
{
    const QString text = params.title.isEmpty() ? QStringLiteral("DASH") : params.title.toUpper();
    const int allowed = int(w * 0.92);
    int size = 200;
    QFont font = HomebrewThemeRenderer::themeFont(kFontFamily, kTitleFont, size);
    int advance = QFontMetrics(font).horizontalAdvance(text);
    while (advance > allowed && size - 10 > 40) {
        size -= 10;
        font = HomebrewThemeRenderer::themeFont(kFontFamily, kTitleFont, size);
        advance = QFontMetrics(font).horizontalAdvance(text);
    }
    const QFontMetrics metrics(font);
    QColor colour = params.accent;
    colour.setAlpha(55);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(QPoint((w - advance) / 2, (h + metrics.ascent() - metrics.descent()) / 2), text);
}

// The logo cleared of a plain light background, cropped, optionally
// recoloured, fitted into the body and faded; null when nothing is left.
QImage watermarkLogo(int w, int h, const ThemeParams& params)
{
    QImage logo = params.logo.convertToFormat(QImage::Format_ARGB32);
    HomebrewThemeRenderer::clearLightBackground(logo);
    logo = HomebrewThemeRenderer::opaqueBounds(logo);
    if (params.recolorLogo) {
        const QRgb tint = opaque(params.recolorColor) & RGB_MASK;
        for (int y = 0; y < logo.height(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(logo.scanLine(y));
            for (int x = 0; x < logo.width(); ++x)
                line[x] = (line[x] & ~RGB_MASK) | tint;
        }
    }
    const double s = std::min(int((h - 2 * kBand) * 0.75) / double(logo.height()),
                              int(w * 0.85) / double(logo.width()));
    const QSize box(std::max(int(s * logo.width()), 1), std::max(int(s * logo.height()), 1));
    QImage scaled = logo.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                        .convertToFormat(QImage::Format_ARGB32);
    double a = std::clamp(params.watermarkAlpha, 0.0, 1.0);
    if (std::isnan(a))
        a = 0.0;
    for (int y = 0; y < scaled.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(scaled.scanLine(y));
        for (int x = 0; x < scaled.width(); ++x)
            line[x] = (line[x] & RGB_MASK) | (uint(qAlpha(line[x]) * a + 0.5) << 24);
    }
    return scaled;
}

void drawParametric(QImage& image, const ThemeParams& params)
{
    const int w = image.width();
    const int h = image.height();
    drawBody(image, params);
    drawBands(image, params);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    drawTexts(painter, w, h, params);
    // The watermark goes straight onto the picture, over bands and texts:
    // the same as laying a transparent layer holding it over the picture.
    if (params.logo.isNull()) {
        drawTextWatermark(painter, w, h, params);
        return;
    }
    const QImage logo = watermarkLogo(w, h, params);
    if (!logo.isNull())
        painter.drawImage(QPoint((w - logo.width()) / 2, (h - logo.height()) / 2), logo);
}

// The picture scaled to cover the screen, cut equally on both sides of the
// longer axis.
void drawImported(QImage& image, const QImage& picture)
{
    const int w = image.width();
    const int h = image.height();
    const double s = std::max(double(h) / picture.height(), double(w) / picture.width());
    const int sw = int(s * picture.width() + 0.5);
    const int sh = int(s * picture.height() + 0.5);
    const QPoint offset(-((sw - w) / 2), -((sh - h) / 2));
    // Only the part of the picture that shows (and a pixel around it) is
    // scaled: a thin strip would otherwise be blown up to a huge picture.
    const int x0 = std::max(int(std::floor(-offset.x() / s)) - 1, 0);
    const int y0 = std::max(int(std::floor(-offset.y() / s)) - 1, 0);
    const int x1 = std::min(int(std::ceil((w - offset.x()) / s)) + 1, picture.width());
    const int y1 = std::min(int(std::ceil((h - offset.y()) / s)) + 1, picture.height());
    const QPoint from(int(std::lround(x0 * s)), int(std::lround(y0 * s)));
    const QSize size(int(std::lround(x1 * s)) - from.x(), int(std::lround(y1 * s)) - from.y());
    if (size.isEmpty())
        return;
    const QImage part = picture.copy(QRect(x0, y0, x1 - x0, y1 - y0))
                            .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&image);
    painter.drawImage(from + offset, part);
}

} // namespace

namespace HomebrewThemeRenderer {

QImage renderBackground(int width, int height, const ThemeParams& params)
{
    if (width <= 0 || height <= 0)
        return {};
    // Painted premultiplied (the painter's fast path); every pixel ends up
    // opaque, where both formats hold the same words.
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(qRgb(0, 0, 0));
    if (params.importedBackground.isNull())
        drawParametric(image, params);
    else
        drawImported(image, params.importedBackground);
    image.reinterpretAsFormat(QImage::Format_ARGB32);
    return image;
}

QImage opaqueBounds(const QImage& image)
{
    if (image.isNull())
        return image;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int left = argb.width();
    int right = -1;
    int top = argb.height();
    int bottom = -1;
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(line[x]) == 0)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = y;
        }
    }
    if (right < 0)
        return argb;
    return argb.copy(QRect(QPoint(left, top), QPoint(right, bottom)));
}

void clearLightBackground(QImage& image)
{
    if (image.isNull())
        return;
    if (image.format() != QImage::Format_ARGB32)
        image = image.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        if (std::any_of(line, line + w, [](QRgb p) { return qAlpha(p) < 255; }))
            return;  // it has transparency of its own
    }
    const auto light = [](QRgb p) {
        const int lo = std::min({qRed(p), qGreen(p), qBlue(p)});
        const int hi = std::max({qRed(p), qGreen(p), qBlue(p)});
        return lo >= 235 && hi - lo <= 20;
    };
    const int lightCorners = light(image.pixel(0, 0)) + light(image.pixel(w - 1, 0))
                             + light(image.pixel(0, h - 1)) + light(image.pixel(w - 1, h - 1));
    if (lightCorners < 3)
        return;
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb p = line[x];
            const int brightness = (299 * qRed(p) + 587 * qGreen(p) + 114 * qBlue(p)) / 1000;
            line[x] = qRgba(qRed(p), qGreen(p), qBlue(p), brightness < 240 ? 255 : 0);
        }
    }
}

QString findFontFile(const QString& family, const QString& fileName)
{
    const QString folder = family.section(QLatin1Char('/'), 0, 0);
    for (const QString& root : {raceStudio3BetaRoot(), raceStudio3Root()}) {
        // An empty setting names no install (not the file system's root).
        if (root.isEmpty())
            continue;
        const QString candidate =
            root + QStringLiteral("/aim/resources/overlay/") + folder + QStringLiteral("/fonts/") + fileName;
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return {};
}

int loadFontFamily(const QString& family, const QString& fileName)
{
    FontCaches& caches = fontCaches();
    const QString key = fontKey(family, fileName);
    const auto cached = caches.ids.constFind(key);
    if (cached != caches.ids.constEnd())
        return *cached;
    const QString path = findFontFile(family, fileName);
    // Read as a plain file of the install first: Qt would open a link or
    // wait on a pipe put in its place.
    QByteArray bytes;
    QString why;
    if (!path.isEmpty() && !SafeRead::readFile(path, kFontReadBound, &bytes, &why))
        qWarning().noquote() << "loadFontFamily: font not read:" << why;
    const int id = bytes.isEmpty() ? -1 : QFontDatabase::addApplicationFontFromData(bytes);
    caches.ids.insert(key, id);
    if (id >= 0) {
        const QStringList names = QFontDatabase::applicationFontFamilies(id);
        if (!names.isEmpty())
            caches.families.insert(key, names.first());
    }
    return id;
}

QFont themeFont(const QString& family, const QString& fileName, int pixelSize)
{
    QFont font;
    font.setPixelSize(pixelSize);
    const int id = loadFontFamily(family, fileName);
    const QString name = fontCaches().families.value(fontKey(family, fileName));
    if (id >= 0 && !name.isEmpty()) {
        font.setFamily(name);
        font.setWeight(fileName.contains(QLatin1String("Bold"), Qt::CaseInsensitive) ? QFont::Bold
                                                                                      : QFont::Normal);
        return font;
    }
    // The firmware font is missing: a heavy system face of the same spirit.
    font.setWeight(QFont::Bold);
    if (fileName.contains(QLatin1String("Agency"), Qt::CaseInsensitive))
        font.setFamily(QStringLiteral("Arial Black"));
    else if (fileName.contains(QLatin1String("DINOT"), Qt::CaseInsensitive))
        font.setFamily(QStringLiteral("Segoe UI"));
    return font;
}

void resetFontCachesForTests()
{
    FontCaches& caches = fontCaches();
    for (const int id : std::as_const(caches.ids)) {
        if (id >= 0)
            QFontDatabase::removeApplicationFont(id);
    }
    caches.ids.clear();
    caches.families.clear();
}

} // namespace HomebrewThemeRenderer
