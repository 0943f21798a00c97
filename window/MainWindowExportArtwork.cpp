// Exporting one element's artwork to a folder the user picks, and the report
// that tells the user what to edit and how to bring it back.
#include "window/MainWindow.h"

#include "artwork/ArtworkExportInfo.h"
#include "panels/Asker.h"

#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>

void MainWindow::exportElementArtwork(int maskIndex)
{
    if (!config.maskAt(currentPage, maskIndex))
        return;
    const QString folder =
        Asker::instance().existingDirectory(this, tr("Export element artwork to folder"),
                                            QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    if (folder.isEmpty())
        return;
    ArtworkExportInfo info;
    QString error;
    if (!config.exportElementArtwork(currentPage, maskIndex, folder, &info, &error)) {
        // Plain text: nothing in its first line looks like markup.
        Asker::instance().warning(this, tr("Export artwork"), tr("Could not export the artwork.\n\n%1").arg(error));
        return;
    }
    QMessageBox box(QMessageBox::Information, tr("Artwork exported"), artworkExportReport(info, folder),
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::RichText);
    QPushButton* open = box.addButton(tr("Open folder"), QMessageBox::ActionRole);
    Asker::instance().exec(&box);
    if (box.clickedButton() == open)
        Asker::instance().openFolder(folder);
}

// Every value from the disk or the configuration is escaped: a folder or an
// element id holding "<" or "&" would otherwise turn into markup.
QString MainWindow::artworkExportReport(const ArtworkExportInfo& info, const QString& folder) const
{
    QString report = tr("<b>%1 file(s) written to</b><br><code>%2</code><br><br>")
                         .arg(QString::number(info.writtenFiles.size()),
                              QDir::toNativeSeparators(folder).toHtmlEscaped());
    report += tr("Edit <b>mask.png</b> and keep it at exactly <b>%1 x %2</b> pixels, then use <i>Replace artwork "
                 "from folder…</i> on this element.<br><br>")
                  .arg(QString::number(info.declaredSize.width()), QString::number(info.declaredSize.height()));
    if (info.noDeviceArt)
        report += tr("<b>Note:</b> this element has no device artwork — the dash paints nothing here today, so "
                     "what you got is the editor-only image. Replacing it will give the element real artwork it "
                     "did not have before.<br><br>");
    else if (info.decodedFromTgz)
        report += tr("mask.png was decoded from <code>mask.tgz</code>, the file the dash itself paints.<br><br>");
    else
        report += tr("<b>Note:</b> the device file could not be read, so mask.png is the editor image. It may "
                     "differ from what the dash shows.<br><br>");
    if (info.artSize.isValid() && info.artSize != info.declaredSize)
        report += tr("<b>Note:</b> the exported art is %1 x %2, which does not match this element's declared "
                     "%3 x %4. That mismatch is already on the element.<br><br>")
                      .arg(QString::number(info.artSize.width()), QString::number(info.artSize.height()),
                           QString::number(info.declaredSize.width()), QString::number(info.declaredSize.height()));
    if (!info.sharedWith.isEmpty())
        report += tr("This artwork is shared with: <b>%1</b>.<br><br>")
                      .arg(info.sharedWith.join(QStringLiteral(", ")).toHtmlEscaped());
    report += tr("README.txt in the folder has the rest.");
    return report;
}
