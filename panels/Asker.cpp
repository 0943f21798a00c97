#include "panels/Asker.h"

#include "panels/FileNameDialog.h"
#include "panels/TitleWidth.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLayout>
#include <QLineEdit>
#include <QUrl>

namespace {
Asker* installed = nullptr;
}

Asker::~Asker() = default;

Asker& Asker::instance()
{
    static Asker real;
    return installed ? *installed : real;
}

void Asker::setInstance(Asker* asker)
{
    installed = asker;
}

QMessageBox::StandardButton Asker::message(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                           const QString& text, QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, title, text, buttons, parent);
    // Messages carry names from files, folders and servers: left to Qt's
    // guess, a "<b>" in one would turn the whole text into markup. Only a
    // text that says so from its first character is rich.
    box.setTextFormat(text.startsWith(QLatin1String("<qt>")) ? Qt::RichText : Qt::PlainText);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

// Both run through exec(), so a test can fill the real dialog's widgets.
QString Asker::openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    FileNameDialog dialog(parent, caption, dir, filter, QFileDialog::AcceptOpen);
    exec(&dialog);
    return dialog.chosenFile();
}

QString Asker::saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    FileNameDialog dialog(parent, caption, dir, filter, QFileDialog::AcceptSave);
    exec(&dialog);
    return dialog.chosenFile();
}

QString Asker::existingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}

QString Asker::text(QWidget* parent, const QString& title, const QString& label, const QString& initial, bool* ok)
{
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setTextEchoMode(QLineEdit::Normal);
    dialog.setTextValue(initial);
    // The input dialog sizes itself to its layout's minimum: the line, not
    // the window, takes the title's width.
    if (auto* line = dialog.findChild<QLineEdit*>()) {
        const QMargins margins = dialog.layout() ? dialog.layout()->contentsMargins() : QMargins();
        line->setMinimumWidth(titleBarWidth(&dialog) - margins.left() - margins.right());
    }
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (ok)
        *ok = accepted;
    return accepted ? dialog.textValue() : QString();
}

QColor Asker::color(QWidget* parent, const QColor& initial, const QString& title,
                    QColorDialog::ColorDialogOptions options)
{
    return QColorDialog::getColor(initial, parent, title, options);
}

// Every dialog the program runs opens at least as wide as its title.
int Asker::exec(QDialog* dialog)
{
    if (!dialog)
        return QDialog::Rejected;
    widenToTitle(dialog);
    return dialog->exec();
}

bool Asker::openFolder(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void Asker::information(QWidget* parent, const QString& title, const QString& text)
{
    message(parent, QMessageBox::Information, title, text);
}

void Asker::warning(QWidget* parent, const QString& title, const QString& text)
{
    message(parent, QMessageBox::Warning, title, text);
}

void Asker::critical(QWidget* parent, const QString& title, const QString& text)
{
    message(parent, QMessageBox::Critical, title, text);
}

QMessageBox::StandardButton Asker::question(QWidget* parent, const QString& title, const QString& text,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton)
{
    return message(parent, QMessageBox::Question, title, text, buttons, defaultButton);
}
