#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;

// Packs a homebrew theme of the local store into a ".dashtheme" file with a
// display name, author and description of the user's choosing. The author
// is remembered for the next export once a package was written.
class ExportThemeDialog : public QDialog {
    Q_OBJECT

public:
    explicit ExportThemeDialog(QWidget* parent = nullptr);

public Q_SLOTS:
    void onThemeChanged(const QString& folderName);
    void onExportClicked();

private:
    QComboBox* themeCombo = nullptr;
    QLineEdit* displayNameEdit = nullptr;
    QLineEdit* authorEdit = nullptr;
    QTextEdit* descriptionEdit = nullptr;
    QLabel* summaryLabel = nullptr;
    QPushButton* exportButton = nullptr;
};
