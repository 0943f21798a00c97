#pragma once

#include "templates/ThemeParams.h"
#include "templates/TemplateUsers.h"

#include <QColor>
#include <QDialog>
#include <QImage>
#include <QStringList>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTabWidget;
class QTimer;
struct ThemeAssets;

// Designs a homebrew theme (a parametric background or one imported
// picture), previews it on any registered device and installs it for every
// device at once into the homebrew store and the RaceStudio 3 installs.
// Every question it asks goes through the Asker.
class NewHomebrewThemeDialog : public QDialog {
    Q_OBJECT

public:
    explicit NewHomebrewThemeDialog(QWidget* parent = nullptr);

    // The theme's folder name: its letters and digits lower-cased, "theme"
    // when there are none, with a "z" in front unless it starts with one.
    static QString slugify(const QString& name);

    // What uses a folder of the slug's name; an install over one in use is
    // refused. By default RaceStudio 3's configurations; the window adds its
    // open file and undo history.
    std::function<TemplateUsers(const QString& slug)> usersOf;

private Q_SLOTS:
    void onCreate();
    void onPickLogo();
    void onPickBackground();
    void onDeviceTabChanged(int index);
    void onAnyFieldChanged();
    void refreshPreview();

private:
    QWidget* buildParametricTab();
    QWidget* buildImportTab();
    QWidget* buildPreviewGroup();
    QPushButton* colorButton(QColor* colour);
    void collectParams();
    void pickColor(QColor* colour, QPushButton* button);
    void styleColorButton(QPushButton* button, const QColor& colour);
    void onWatermarkChanged(int value);
    // The picture chosen by the user, turned upright and in 32-bit ARGB;
    // null when cancelled or not decodable (the user has been told).
    QImage importPicture(const QString& title, const QString& filter);
    bool confirmReplace(const QString& name, const QString& slug);
    ThemeAssets renderAssets();
    void reportInstall(const QString& name, int count, const QStringList& skipped, const QString& keptAside,
                       const QStringList& leftAlone);

    ThemeParams m_params;
    QColor m_primary{30, 58, 95};
    QColor m_accent{217, 30, 25};
    QColor m_secondary{255, 255, 255};
    QImage m_logo;
    QImage m_importedBackground;
    QTimer* m_previewTimer = nullptr;

    QTabWidget* m_tabs = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_title = nullptr;
    QLineEdit* m_subtitle = nullptr;
    QCheckBox* m_useSecondary = nullptr;
    QComboBox* m_style = nullptr;
    QLabel* m_logoThumb = nullptr;
    QCheckBox* m_recolorLogo = nullptr;
    QSlider* m_watermarkAlpha = nullptr;
    QLabel* m_watermarkLabel = nullptr;
    QLineEdit* m_importName = nullptr;
    QLabel* m_backgroundThumb = nullptr;
    QComboBox* m_device = nullptr;
    QLabel* m_preview = nullptr;
};
