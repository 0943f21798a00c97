#include "panels/FileNameDialog.h"

#include "panels/Asker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("FileNameDialog", text);
}

} // namespace

FileNameDialog::FileNameDialog(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                               AcceptMode mode)
    : QFileDialog(parent, caption, dir, filter)
{
    setAcceptMode(mode);
    setFileMode(mode == AcceptOpen ? ExistingFile : AnyFile);
}

QString FileNameDialog::chosenFile() const
{
    if (result() != Accepted)
        return {};
    return typedFile.isEmpty() ? selectedFiles().value(0) : typedFile;
}

void FileNameDialog::accept()
{
    typedFile.clear();
    // Only Qt's own widgets have the field; a platform dialog hands back
    // the name as typed already.
    auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    const QString text = edit ? edit->text() : QString();
    if (!text.contains(QLatin1Char('"'))) {
        QFileDialog::accept();
        return;
    }
    const QString path = QDir::cleanPath(directory().absoluteFilePath(text));
    const QFileInfo info(path);
    if (info.isDir()) {
        setDirectory(path);
        edit->clear();
        return;
    }
    if (acceptMode() == AcceptOpen && !info.isFile()) {
        Asker::instance().warning(
            this, windowTitle(),
            tr("%1\nFile not found.\nPlease verify the correct file name was given.").arg(info.fileName()));
        return;
    }
    if (acceptMode() == AcceptSave && info.exists() && !testOption(DontConfirmOverwrite)
        && Asker::instance().question(this, windowTitle(),
                                      tr("%1 already exists.\nDo you want to replace it?").arg(info.fileName()),
                                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
               != QMessageBox::Yes)
        return;
    typedFile = path;
    QDialog::accept();
}
