#pragma once

#include <QRect>

class DashConfig;
class MoveCommand;

// The one way a mask gets another rectangle, whichever entry asks (the
// property panel's fields and their arrow steps, a dragged canvas handle,
// Resize to Canonical, the box-style designer): the children's geometry
// (bars' edges, values, texts) scales with the mask, a multi-value box's
// cells are laid out again and the art is fitted to the new size. Entries
// that treated a resize differently gave files that lit the same bar to
// different values.
//
// The command moving mask `mask` of page `page` from `from` to `to`; null
// when the mask does not exist. The caller pushes it (or runs and deletes
// it without a history).
MoveCommand* maskResizeCommand(DashConfig* config, int page, int mask, const QRect& from, const QRect& to);
