#pragma once

#include "model/BoxStyleRecord.h"

#include <QColor>
#include <QDialog>
#include <QPixmap>
#include <QSize>
#include <QString>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

// "Box designer": the box drawn behind a numeric widget. The user picks a
// style from rendered thumbnails, an optional preset size, three colours
// (accent, value text, caption lettering), a caption tab, a border width and
// dividers, and sees the result in a live preview. The caller presets it,
// runs it and reads the choices back after acceptance.
class BoxStyleDialog : public QDialog {
    Q_OBJECT

public:
    BoxStyleDialog(const QSize& maskSize, const BoxStyleRecord& current, const QString& deviceFolder,
                   quint32 accentArgb, QWidget* parent = nullptr);

    void setCaption(const QString& caption, int borderPx, const QString& channelName);
    void setTextColor(const QColor& colour);
    void setPillColor(const QColor& colour);
    void setShowDividers(bool available, bool checked);

    // Results, read after acceptance. An invalid chosenSize keeps the size.
    QString styleId() const { return chosenStyle; }
    QSize chosenSize() const { return sizeChoice; }
    bool showDividers() const { return dividersChecked; }
    QColor accentColor() const { return accent; }
    QColor textColor() const { return text; }
    QColor pillColor() const { return pill; }
    QString caption() const;
    int borderWidth() const;

    // The style thumbnails' box: the mask's aspect fitted to 116 x 66, at
    // least 24 x 16.
    static QSize thumbnailBoxSize(const QSize& maskSize);

public Q_SLOTS:
    void onAccept();
    void onStyleChanged();
    void onSizeChanged();
    void onSwatchClicked();
    void onCustomColor();
    void onTextSwatchClicked();
    void onCustomTextColor();
    void onPillSwatchClicked();
    void onCustomPillColor();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    static QPixmap swatchPixmap(const QColor& colour, bool selected, int size);
    QWidget* makeColorRow(const QString& label, const QString& tooltip, void (BoxStyleDialog::*swatchSlot)(),
                          void (BoxStyleDialog::*customSlot)(), QLabel** indicator,
                          QPushButton** customButton = nullptr);
    static void showIndicator(QLabel* indicator, const QColor& colour);
    QColor senderColor() const;
    QString currentStyleId() const;
    QSize presetSize() const;
    void updateBorderEnabled();
    void fillStyleList(const QString& currentId);
    void fillSizeCombo();

    QSize maskSize;
    QString deviceFolder;
    QColor accent;
    QListWidget* styleList = nullptr;
    QComboBox* sizeCombo = nullptr;
    QLabel* preview = nullptr;
    QPushButton* customAccentButton = nullptr;
    QLabel* accentIndicator = nullptr;
    QCheckBox* dividersCheck = nullptr;
    QLabel* textIndicator = nullptr;
    QColor text;
    QLabel* pillIndicator = nullptr;
    QColor pill;
    QDialogButtonBox* buttons = nullptr;
    QLineEdit* captionEdit = nullptr;
    QPushButton* useChannelButton = nullptr;
    QSpinBox* borderSpin = nullptr;
    QString channelName;
    QString chosenStyle;
    QSize sizeChoice;
    bool dividersChecked = false;
    bool dividersAvailable = false;
    bool previewBusy = false;
};
