#pragma once

#include <QFileDialog>

// The editor's file dialog for a file to open or to save. Qt's own dialog
// reads double quotes in the name field as a list of names ("a" "b"): one
// name typed with quotes in it, R&D "Øst".zconf2, came back as Øst, without
// the rest of the name or its extension. Here a name holding a double quote
// is the one file typed; every other name is Qt's to read.
class FileNameDialog : public QFileDialog {
public:
    FileNameDialog(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                   AcceptMode mode);

    // The file chosen once the dialog was accepted; empty otherwise.
    QString chosenFile() const;

protected:
    void accept() override;

private:
    QString typedFile;
};
