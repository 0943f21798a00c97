#pragma once

// How a question the asker shows lays out on the screen: the real message
// box, shown on the offscreen platform, measured once its size is settled.
// Header-only so that only tests which link the widgets include it.

#include "support/ScriptedAsker.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace QuestionBox {

// The lowest edge of the box's buttons and the box's own height, whichever
// is lower on the screen, in pixels from the box's top.
inline int bottom(QMessageBox& box)
{
    box.show();
    int lowest = box.height();
    for (const QAbstractButton* button : box.buttons())
        lowest = std::max(lowest, button->mapTo(&box, QPoint(0, button->height())).y());
    box.hide();
    return lowest;
}

// The same for a question the scripted asker recorded, as Asker::message
// builds it.
inline int bottom(const ScriptedAsker::Asked& asked, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(QMessageBox::Question, asked.title, asked.text, buttons);
    box.setTextFormat(asked.text.startsWith(QLatin1String("<qt>")) ? Qt::RichText : Qt::PlainText);
    return bottom(box);
}

} // namespace QuestionBox
