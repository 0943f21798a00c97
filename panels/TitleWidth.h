#pragma once

class QWidget;

// A window manager cuts a title that is wider than its window ("Multi-…ue
// box"). Gives the window a minimum width that holds its title whole in a
// title bar's bold lettering (which is often larger than the window's own
// font) beside the icon and the window buttons. The window grows where it
// is narrower; a wider one is left as it is.
void widenToTitle(QWidget* window);

// The width widenToTitle gives: the title in a title bar's lettering plus
// the room beside it; 0 without a title.
int titleBarWidth(const QWidget* window);
