#pragma once

#include <QColor>
#include <QColorDialog>
#include <QMessageBox>
#include <QString>

class QDialog;
class QWidget;

// Every question the editor puts to the user goes through one Asker: message
// boxes, file and folder names, a line of text, a colour, and running a modal
// dialog. The program uses the real Qt dialogs; tests install a scripted
// double, so the window's code reads as a story of decisions and no test
// ever blocks on exec().
class Asker
{
public:
    virtual ~Asker();

    // The asker in force; the real dialogs unless a test installed another.
    static Asker& instance();
    // Installs `asker` (not owned); nullptr goes back to the real dialogs.
    static void setInstance(Asker* asker);

    // The text is plain unless it starts with "<qt>".
    virtual QMessageBox::StandardButton message(QWidget* parent, QMessageBox::Icon icon,
                                                const QString& title, const QString& text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // Empty when the user cancels.
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter);
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter);
    virtual QString existingDirectory(QWidget* parent, const QString& caption, const QString& dir);

    // *ok is false when the user cancels.
    virtual QString text(QWidget* parent, const QString& title, const QString& label,
                         const QString& initial, bool* ok);

    // Invalid when the user cancels.
    virtual QColor color(QWidget* parent, const QColor& initial, const QString& title,
                         QColorDialog::ColorDialogOptions options = {});

    // Runs the dialog modally; its result (QDialog::Accepted or Rejected, or
    // a done() code).
    virtual int exec(QDialog* dialog);

    // Shows a folder in the desktop's file manager; false when none could be
    // started. Tests record the path instead of launching anything.
    virtual bool openFolder(const QString& path);

    // Shorthands for the common message boxes.
    void information(QWidget* parent, const QString& title, const QString& text);
    void warning(QWidget* parent, const QString& title, const QString& text);
    void critical(QWidget* parent, const QString& title, const QString& text);
    QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                         QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
                                         QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
};
