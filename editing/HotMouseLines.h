#pragma once

#include <string>

// The closed rectangle polygon that LINES_X_HOT_MOUSE holds:
// x,y, x+w,y, x+w,y+h, x,y+h, x,y in decimal, joined with ','.
std::string hotMouseLines(int x, int y, int w, int h);
