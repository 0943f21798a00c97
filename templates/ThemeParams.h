#pragma once

#include <QColor>
#include <QImage>
#include <QString>

// What one homebrew theme background is drawn from: either the user's own
// picture (importedBackground, which then replaces everything else) or the
// parametric design of bands, body, texts and a watermark.
struct ThemeParams {
    QString title;     // header text; the watermark text when there is no logo
    QString subtitle;  // footer text; nothing drawn when empty
    QColor primary;    // header band and the base of the body colours
    QColor accent;     // the 3-pixel stripes; the watermark text colour
    QColor secondary;  // the optional 2-pixel stripes
    bool useSecondary = false;
    int style = 0;     // 0 Gradient, 1 Carbon, 2 Diagonal; anything else: black body
    QImage logo;       // watermark picture
    bool recolorLogo = false;
    QColor recolorColor;
    double watermarkAlpha = 0.55;  // clamped to 0..1 when used
    QImage importedBackground;
};
