#pragma once

#include "updates/UpdateManifest.h"

#include <QWidget>

class QLabel;
class QPushButton;

// The strip above the editor that offers a newer version: its release notes,
// the download, or dismissal for this run (the next start asks again).
class UpdateBanner : public QWidget {
    Q_OBJECT

public:
    explicit UpdateBanner(QWidget* parent = nullptr);

    void setManifest(const UpdateManifest& manifest);
    void showReleaseNotes();

Q_SIGNALS:
    void updateRequested(const UpdateManifest& manifest);
    void dismissed();

private:
    UpdateManifest manifest;
    QLabel* messageLabel = nullptr;
    QPushButton* notesButton = nullptr;
    QPushButton* updateButton = nullptr;
    QPushButton* dismissButton = nullptr;
};
