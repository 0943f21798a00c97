// The window's own place on the screens, the About box, and the two
// dialogs that change the program's settings.
#include "window/MainWindow.h"

#include "dialogs/PreferencesDialog.h"
#include "model/InstallRoots.h"
#include "model/SafeRead.h"
#include "model/SettingsFile.h"
#include "panels/Asker.h"
#include "templates/PageTemplateLibrary.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDataStream>
#include <QDialogButtonBox>
#include <QDir>
#include <QImage>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

const char* const kSupportMail = "support@tindrel.no";

QList<QRect> availableScreenAreas()
{
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    return areas;
}

// A window can be dragged back into view as long as a piece of its title
// strip (the top 32 px of its frame) lies on some screen.
// The frame as it was saved. Qt's restoreGeometry pulls a window from a
// screen that is gone onto another at its old size, so the place it was
// saved at is read from the stored bytes (a Qt_4_0 stream: magic, two
// version numbers, then the frame). Invalid when the bytes are not Qt's.
QRect savedFrameGeometry(const QByteArray& stored)
{
    QDataStream in(stored);
    in.setVersion(QDataStream::Qt_4_0);
    quint32 magic = 0;
    quint16 major = 0;
    quint16 minor = 0;
    QRect frame;
    in >> magic >> major >> minor >> frame;
    if (in.status() != QDataStream::Ok || magic != 0x1D9D0CB)
        return {};
    return frame;
}

bool titleStripReachable(const QRect& frame, const QList<QRect>& areas)
{
    if (frame.isEmpty())
        return false;
    const QRect strip(frame.topLeft(), QSize(frame.width(), qMin(32, frame.height())));
    for (const QRect& area : areas) {
        const QRect shared = strip.intersected(area);
        if (shared.width() >= 120 && shared.height() >= 8)
            return true;
    }
    return false;
}

QLabel* richLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    return label;
}

} // namespace

void MainWindow::restoreWindowGeometry()
{
    const QByteArray stored = QSettings().value(QStringLiteral("MainWindow/geometry")).toByteArray();
    if (stored.isEmpty())
        return;
    const QRect before = geometry();
    if (!restoreGeometry(stored) || isMaximized() || isFullScreen())
        return;
    const QList<QRect> areas = screenAreaProvider ? screenAreaProvider() : availableScreenAreas();
    const QRect saved = savedFrameGeometry(stored);
    if (titleStripReachable(saved.isValid() ? saved : frameGeometry(), areas))
        return;
    // Saved on a monitor that is gone: the default size where the user sees it.
    resize(before.size());
    const QScreen* primary = QGuiApplication::primaryScreen();
    move((primary ? primary->availableGeometry().topLeft() : QPoint(0, 0)) + QPoint(40, 40));
}

void MainWindow::showAbout()
{
    QDialog dialog(this);
    dialog.setWindowTitle(tr("About Korvelanto"));
    dialog.setMinimumWidth(420);
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(10);

    const QPixmap icon = QPixmap::fromImage(
        SafeRead::readImage(QCoreApplication::applicationDirPath() + QStringLiteral("/assets/icon.png")));
    if (!icon.isNull()) {
        auto* picture = new QLabel;
        picture->setPixmap(icon.scaled(160, 160, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        picture->setAlignment(Qt::AlignCenter);
        layout->addWidget(picture);
    }
    QLabel* title = richLabel(tr("<div align='center'><b style='font-size:14pt'>Korvelanto</b><br><span "
                                 "style='color:#888'>Version %1</span></div>")
                                  .arg(QCoreApplication::applicationVersion().toHtmlEscaped()));
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);

    const QString mail = QString::fromLatin1(kSupportMail);
    QLabel* body = richLabel(tr("Korvelanto by Tindrel AS<br>Made by drivers, for the dashes they race with.<br><br>"
                                "Built on Qt6, pugixml, minizip.<br>Edits AIM MXG / MXS / LIG dashboard "
                                "configurations (.zconf2).<br><br>Support: <a href='mailto:%1'>%1</a>")
                                 .arg(mail));
    body->setAlignment(Qt::AlignCenter);
    body->setOpenExternalLinks(true);
    layout->addWidget(body);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    Asker::instance().exec(&dialog);
}

void MainWindow::openSettings()
{
    QSettings settings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
    QDialog dialog(this);
    dialog.setWindowTitle(tr("Settings"));
    dialog.setMinimumWidth(480);
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(10);

    auto* mirror = new QCheckBox(tr("Also register Homebrew templates in RaceStudio3"));
    mirror->setChecked(settings.value(QStringLiteral("homebrew/mirrorToAim"), true).toBool());
    mirror->setToolTip(tr("When on, Korvelanto mirrors new homebrew templates into the AIM install tree so RS3's own "
                          "template picker picks them up too. Off = templates stay in Korvelanto only."));
    layout->addWidget(mirror);

    QLabel* install = richLabel(
        tr("<b>RaceStudio3 install:</b> <code>%1</code>").arg(configuredRaceStudio3Root().toHtmlEscaped()));
    install->setToolTip(tr("Change this in Tools > Preferences, which can also point Korvelanto at a RaceStudio3 "
                           "Beta install."));
    layout->addWidget(install);
    layout->addWidget(
        richLabel(tr("<b>Homebrew store:</b> <code>%1</code>").arg(homebrewTemplatesDir().toHtmlEscaped())));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    // As in Preferences, a failure is told while the dialog is still open,
    // to try again or cancel.
    connect(buttons, &QDialogButtonBox::accepted, &dialog, [&dialog, &settings, mirror] {
        bool held = false;
        const QString why = SettingsFile::store(
            settings, [&] { settings.setValue(QStringLiteral("homebrew/mirrorToAim"), mirror->isChecked()); }, &held);
        if (why.isEmpty()) {
            dialog.accept();
            return;
        }
        Asker::instance().warning(&dialog, tr("Settings"),
                                  tr("The settings could not be saved: %1").arg(why)
                                      + (held ? tr("\n\nThey hold only until Korvelanto is closed.") : QString()));
    });
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (Asker::instance().exec(&dialog) == QDialog::Accepted)
        statusBar()->showMessage(tr("Settings saved"), 2000);
}

void MainWindow::openPreferences()
{
    PreferencesDialog dialog(this);
    if (Asker::instance().exec(&dialog) == QDialog::Accepted)
        statusBar()->showMessage(tr("Preferences saved"), 2000);
}
