#pragma once

#include <QDialog>
#include <QString>

#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QTextEdit;
class QVBoxLayout;
class ThemePackage;

// Shows an opened ".dashtheme" package and asks which of its devices to edit
// on the canvas. The dialog owns the package until takePackage hands it back.
class OpenThemeDialog : public QDialog {
    Q_OBJECT

public:
    // The package must already be open.
    OpenThemeDialog(std::unique_ptr<ThemePackage> package, QWidget* parent = nullptr);
    ~OpenThemeDialog() override;

    // The package, moved out to the caller; the dialog holds none afterwards.
    std::unique_ptr<ThemePackage> takePackage();

    // The device id chosen by "Open"; empty until then.
    QString selectedDevice;

private Q_SLOTS:
    void onOpenClicked();

private:
    void addHeader(QVBoxLayout* layout);
    void fillDevices(QVBoxLayout* layout);

    std::unique_ptr<ThemePackage> package;
    QComboBox* deviceCombo = nullptr;
    QLabel* titleLabel = nullptr;
    QLabel* metaLabel = nullptr;
    QTextEdit* descriptionView = nullptr;
    QPushButton* openButton = nullptr;
};
