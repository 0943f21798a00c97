// Renders a 1280x480 homebrew theme background in each body style with a
// logo watermark, as the theme dialog's preview does after every change, and
// prints the time per render against a baseline measured in the same run:
// one QPainter pass that fills the same picture with a linear gradient and
// draws the logo scaled into it. The preview is debounced at 120 ms, so a
// render has to stay far below that.

#include "bench/InterleavedMedians.h"
#include "templates/HomebrewThemeRenderer.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRounds = 7;
constexpr int kIterations = 10;
constexpr int kWidth = 1280;
constexpr int kHeight = 480;

// A 600 x 400 logo on a white background, the usual JPEG a user picks.
QImage makeLogo()
{
    QImage logo(600, 400, QImage::Format_RGB32);
    logo.fill(Qt::white);
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(20, 60, 160));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRect(100, 50, 400, 300));
    return logo;
}

Medians medians(const std::function<void()>& ours, const std::function<void()>& base)
{
    return interleavedMedians(ours, base, kRounds, kIterations, 1);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    ThemeParams params;
    params.title = QStringLiteral("Korvelanto Racing");
    params.subtitle = QStringLiteral("Season 2026");
    params.primary = QColor(30, 58, 95);
    params.accent = QColor(217, 30, 25);
    params.secondary = Qt::white;
    params.useSecondary = true;
    params.logo = makeLogo();
    params.recolorLogo = true;
    params.recolorColor = params.accent;

    quint64 sink = 0;
    const auto baseline = [&] {
        QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
        QPainter p(&image);
        QLinearGradient gradient(0, 0, 0, kHeight);
        gradient.setColorAt(0, QColor(10, 20, 33));
        gradient.setColorAt(1, QColor(8, 8, 10));
        p.fillRect(image.rect(), gradient);
        p.drawImage(QRect(340, 90, 600, 300), params.logo.scaled(600, 300, Qt::KeepAspectRatio,
                                                                 Qt::SmoothTransformation));
        p.end();
        sink += image.pixel(kWidth / 2, kHeight / 2);
    };

    std::printf("theme_bench: %dx%d background with a 600x400 logo (preview debounce: 120 ms)\n", kWidth,
                kHeight);
    const char* const names[] = {"Gradient", "Carbon", "Diagonal"};
    int status = 0;
    for (int style = 0; style < 3; ++style) {
        params.style = style;
        const auto [ours, base] = medians(
            [&] { sink += HomebrewThemeRenderer::renderBackground(kWidth, kHeight, params).pixel(2, 100); },
            baseline);
        std::printf("%-9s %8.2f ms   baseline %8.2f ms   ratio %.2f\n", names[style], ours / 1e6, base / 1e6,
                    ours / base);
        if (ours / 1e6 > 60.0)
            status = 1;  // not "well inside" the debounce any more
    }
    std::printf("(checksum %llu)\n", static_cast<unsigned long long>(sink));
    return status;
}
