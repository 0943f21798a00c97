#pragma once

#include "panels/IconGraphic.h"

#include <QDialog>
#include <QList>
#include <QString>

class QDialogButtonBox;
class QListWidget;

// "Preview icon": RS3's own "*_on.bmp" icon graphics as thumbnails, one of
// which the user picks as an editor-only preview for an icon element (RS3's
// icon manager, which the editor does not read, decides the real graphic).
// After acceptance the opener reads removed and chosenPath.
class IconPreviewDialog : public QDialog {
    Q_OBJECT

public:
    IconPreviewDialog(const QString& artworkPath, const QString& currentPreview, QWidget* parent = nullptr);
    ~IconPreviewDialog() override;

    // The graphics offered for an element's artwork path, at most `limit`:
    // the page sets of the element's device first, else the first "s01/Icon"
    // folder of any overlay tree. One per file name, ignoring letter case.
    static QList<IconGraphic> collectGraphics(const QString& artworkPath, int limit = 400);

    QString chosenPath() const { return m_chosenPath; }
    bool removed() const { return m_removed; }

private:
    void fillList(const QList<IconGraphic>& graphics, const QString& currentPreview);
    void useCurrent();
    void removePreview();

    QListWidget* m_list = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    QString m_chosenPath;
    bool m_removed = false;
};
