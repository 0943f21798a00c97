#include "panels/TitleWidth.h"

#include <QFont>
#include <QFontMetrics>
#include <QWidget>

namespace {

// Room beside the title: the window's icon, its three buttons and margins.
constexpr int kTitleBarAllowance = 160;
// Title bars letter larger than dialogs on many desktops.
constexpr qreal kTitleFontScale = 1.25;

} // namespace

int titleBarWidth(const QWidget* window)
{
    if (!window || window->windowTitle().isEmpty())
        return 0;
    QFont font = window->font();
    font.setBold(true);
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * kTitleFontScale);
    else if (font.pixelSize() > 0)
        font.setPixelSize(qRound(font.pixelSize() * kTitleFontScale));
    return QFontMetrics(font).horizontalAdvance(window->windowTitle()) + kTitleBarAllowance;
}

void widenToTitle(QWidget* window)
{
    const int needed = titleBarWidth(window);
    if (window && window->minimumWidth() < needed)
        window->setMinimumWidth(needed);
}
