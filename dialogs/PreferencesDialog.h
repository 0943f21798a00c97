#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLineEdit;

// The user's own settings of the shell: the start-up update check and the
// folders of the RaceStudio 3 install and of an optional beta install. Each
// opening reads the settings afresh; only OK stores, and it notifies nobody:
// the install roots are read at every use, the update setting at the next
// start.
class PreferencesDialog : public QDialog {
    Q_OBJECT

public:
    explicit PreferencesDialog(QWidget* parent = nullptr);
    ~PreferencesDialog() override;

    // "\" becomes "/", and no "/" ends the text.
    static QString normaliseFolder(QString folder);

private Q_SLOTS:
    void onBrowseStable();
    void onBrowseBeta();
    void onAccept();

private:
    // A read-only field holding `initial` with a "Browse..." button that
    // runs `browse`; the field can only change through that button.
    QWidget* addPathRow(QLineEdit** field, const QString& initial, void (PreferencesDialog::*browse)());
    void browseInto(QLineEdit* field, const QString& caption);

    QCheckBox* updateCheck = nullptr;
    QLineEdit* stableField = nullptr;
    QLineEdit* betaField = nullptr;
};

// "updates/checkOnStartup": whether the window asks the update service for a
// newer version when it opens; true when the setting was never written.
bool checkUpdatesOnStartup();
