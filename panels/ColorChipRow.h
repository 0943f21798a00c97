#pragma once

#include <QColor>
#include <QList>
#include <QPair>
#include <QString>
#include <QWidget>

class QLabel;

// One colour choice in a small dialog: a caption, a chip that shows the
// colour, a button per preset colour and "Custom…", which asks through the
// Asker. The value bar and Ref Time bar dialogs build their colour rows
// from it.
class ColorChipRow : public QWidget {
    Q_OBJECT

public:
    using Preset = QPair<QString, QColor>; // button text, colour

    ColorChipRow(const QString& label, const QColor& initial, const QList<Preset>& presets,
                 const QString& dialogTitle, QWidget* parent = nullptr);

    QColor color() const { return current; }
    void setColor(const QColor& colour);
    QLabel* chip() const { return chipLabel; }

private:
    void onCustom();

    QColor current;
    QString dialogTitle;
    QLabel* chipLabel = nullptr;
};
