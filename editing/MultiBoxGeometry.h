#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <vector>

// Cell geometry of a multi-value box, in mask coordinates: the same cells
// that the box renderer divides the panel art into, so values and captions
// sit inside the drawn frames.

// rows x cols cells, row-major, for a W x H box; empty for a grid the
// renderer cannot draw.
QList<QRect> multiBoxCells(int width, int height, int rows, int cols);

// Splits a cell into caption and value rectangles. Placement "left" gives the
// caption the left third, any other the top third; without a caption the
// value takes the whole cell and the caption rectangle is null.
struct MultiBoxCellParts {
    QRect caption;
    QRect value;
};
MultiBoxCellParts splitMultiBoxCell(const QRect& cell, const QString& labelPlacement, bool withCaption);

// How many groups the values fall into when neighbours further apart than
// the threshold start a new group (sorted first; 0 for no values). The list
// is taken over and left empty. Used to recover a box's rows and columns
// from the positions of its values.
int countGapClusters(std::vector<int>& values, int threshold);
