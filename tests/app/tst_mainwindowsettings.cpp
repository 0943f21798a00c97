#include "window/MainWindow.h"
#include "dialogs/PreferencesDialog.h"
#include "model/InstallRoots.h"
#include "model/SettingsFile.h"
#include "support/FileSizeLimit.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QtTest>

#include <functional>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QSettings shellSettings()
{
    return QSettings(QStringLiteral("Tindrel AS"), QStringLiteral("Korvelanto"));
}

const char* const kStable = "paths/raceStudio3Root";
const char* const kBeta = "paths/raceStudio3BetaRoot";
const char* const kUpdates = "updates/checkOnStartup";
const char* const kMirror = "homebrew/mirrorToAim";

// What a window at `geometry` (maximized or not) writes on close.
QByteArray savedGeometry(const QRect& geometry, bool maximized)
{
    QMainWindow other;
    other.setGeometry(geometry);
    if (maximized)
        other.setWindowState(Qt::WindowMaximized);
    return other.saveGeometry();
}

// The file's identity on the disk: a file replaced whole gets a new one.
ino_t inode(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

// Presses the dialog's OK or Cancel.
int finish(QDialog* dialog, bool accept)
{
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    buttons->button(accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    return dialog->result();
}

} // namespace

// The window's place on the screens at start-up, and the Settings and
// Preferences dialogs read back through the settings they write.
class MainWindowSettingsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedAsker> asker;
    std::unique_ptr<MainWindow> window;

    QString status() const { return window->statusBar()->currentMessage(); }

private Q_SLOTS:
    void init()
    {
        shellSettings().clear();
        asker = std::make_unique<ScriptedAsker>();
        window = std::make_unique<MainWindow>();
    }

    void cleanup()
    {
        window.reset();
        asker.reset();
        shellSettings().clear();
    }

    void geometry_data()
    {
        QTest::addColumn<QRect>("saved");
        QTest::addColumn<bool>("maximized");
        QTest::addColumn<bool>("screenGone");
        QTest::addColumn<QRect>("expected"); // position and size; null when maximized

        const QRect saved(100, 120, 500, 400);
        const QPoint corner = QGuiApplication::primaryScreen()->availableGeometry().topLeft() + QPoint(40, 40);
        QTest::newRow("on a screen") << saved << false << false << saved;
        QTest::newRow("monitor gone") << saved << false << true << QRect(corner, QSize(1280, 750));
        QTest::newRow("maximized on a monitor now gone") << saved << true << true << QRect();
        QTest::newRow("off every screen there is")
            << QRect(9000, 9000, 500, 400) << false << false << QRect(corner, QSize(1280, 750));
    }
    void geometry()
    {
        QFETCH(QRect, saved);
        QFETCH(bool, maximized);
        QFETCH(bool, screenGone);
        QFETCH(QRect, expected);
        QCOMPARE(window->size(), QSize(1280, 750));
        QSettings().setValue(QStringLiteral("MainWindow/geometry"), savedGeometry(saved, maximized));
        if (screenGone)
            window->setScreenAreaProvider([] { return QList<QRect>{QRect(5000, 0, 1920, 1080)}; });
        window->restoreWindowGeometry();
        QCOMPARE(window->isMaximized(), maximized);
        if (!maximized)
            QCOMPARE(QRect(window->pos(), window->size()), expected);
    }

    void preferences_data()
    {
        QTest::addColumn<QVariant>("stableBefore"); // invalid: no key
        QTest::addColumn<QVariant>("betaBefore");
        QTest::addColumn<QString>("browsed");        // the stable folder chosen; empty: no browse
        QTest::addColumn<int>("unusualAnswer");
        QTest::addColumn<bool>("untick");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QVariant>("stableAfter");
        QTest::addColumn<QVariant>("betaAfter");
        QTest::addColumn<QVariant>("updatesAfter");

        const QVariant none;
        const QVariant old(QStringLiteral("/opt/rs3"));
        const QVariant beta(QStringLiteral("/opt/rs3b"));
        QTest::newRow("browsed folder normalised") << old << beta << "D:\\RS3\\" << int(QMessageBox::Yes) << false
                                                   << true << QVariant("D:/RS3") << beta << QVariant(true);
        QTest::newRow("unusual folder refused") << old << beta << "D:\\RS3\\" << int(QMessageBox::No) << false << true
                                                << old << beta << QVariant(true);
        QTest::newRow("empty beta removes the key") << old << QVariant(QString()) << "" << 0 << false << true << old
                                                    << none << QVariant(true);
        // The fields show the folders in the Wine prefix; kept as they are,
        // they stay defaults that follow the prefix.
        QTest::newRow("defaults stay unstored") << none << none << "" << 0 << false << true << none << none
                                                << QVariant(true);
        QTest::newRow("unticked stores false") << old << beta << "" << 0 << true << true << old << beta
                                               << QVariant(false);
        QTest::newRow("cancel stores nothing") << old << beta << "D:\\RS3\\" << int(QMessageBox::Yes) << true << false
                                               << old << beta << none;
    }
    void preferences()
    {
        QFETCH(QVariant, stableBefore);
        QFETCH(QVariant, betaBefore);
        QFETCH(QString, browsed);
        QFETCH(int, unusualAnswer);
        QFETCH(bool, untick);
        QFETCH(bool, accept);
        QFETCH(QVariant, stableAfter);
        QFETCH(QVariant, betaAfter);
        QFETCH(QVariant, updatesAfter);
        {
            QSettings settings = shellSettings();
            if (stableBefore.isValid())
                settings.setValue(QLatin1String(kStable), stableBefore);
            if (betaBefore.isValid())
                settings.setValue(QLatin1String(kBeta), betaBefore);
        }
        if (!browsed.isEmpty()) {
            asker->fileNames = {browsed};
            asker->buttons = {QMessageBox::StandardButton(unusualAnswer)};
        }
        QStringList shown;
        asker->onExec = [&](QDialog* dialog) {
            if (!qobject_cast<PreferencesDialog*>(dialog))
                return int(QDialog::Rejected);
            if (!browsed.isEmpty()) {
                for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
                    if (button->text() == QStringLiteral("Browse...")) {
                        button->click(); // the first is the stable row's
                        break;
                    }
                }
            }
            if (untick)
                dialog->findChild<QCheckBox*>()->setChecked(false);
            for (const QLineEdit* field : dialog->findChildren<QLineEdit*>())
                shown << field->text();
            return finish(dialog, accept);
        };
        window->statusBar()->clearMessage();
        window->openPreferences();
        if (!stableBefore.isValid() && !betaBefore.isValid()) {
            const QString prefix = QString::fromLocal8Bit(qgetenv("WINEPREFIX"));
            QCOMPARE(shown, QStringList({prefix + "/drive_c/AIM_SPORT/RaceStudio3",
                                         prefix + "/drive_c/AIM_SPORT/RaceStudio3_beta"}));
        }

        QCOMPARE(asker->count(QStringLiteral("exec")), 1);
        if (!browsed.isEmpty()) {
            QCOMPARE(asker->asked.at(1).title, QStringLiteral("Locate RaceStudio3 install"));
            QCOMPARE(asker->asked.at(2).title, QStringLiteral("Unusual folder"));
        }
        QSettings settings = shellSettings();
        QCOMPARE(settings.value(QLatin1String(kStable)), stableAfter);
        QCOMPARE(settings.value(QLatin1String(kBeta)), betaAfter);
        QCOMPARE(settings.value(QLatin1String(kUpdates)), updatesAfter);
        QCOMPARE(checkUpdatesOnStartup(), !updatesAfter.isValid() || updatesAfter.toBool());
        QCOMPARE(status(), accept ? QStringLiteral("Preferences saved") : QString());
    }

    // A disk that takes no write (a file size limit below the settings
    // file): OK says why the preferences were not saved and keeps the dialog
    // open; nothing is stored, and the settings file is not cut short.
    void preferencesThatCannotBeSavedSaySo()
    {
        {
            QSettings settings = shellSettings();
            settings.setValue(QStringLiteral("MainWindow/geometry"), QByteArray(2000, 'g'));
            settings.setValue(QLatin1String(kStable), QStringLiteral("/opt/rs3"));
        }
        const QByteArray before = [] {
            QFile file(shellSettings().fileName());
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        QVERIFY(!before.isEmpty());
        QString said;
        const auto outcome = FileSizeLimit::run(1000, [this](QString* text) {
            PreferencesDialog dialog(window.get());
            dialog.findChild<QCheckBox*>()->setChecked(false);
            const int result = finish(&dialog, true);
            *text = asker->asked.isEmpty() ? QString() : asker->asked.last().title + '|' + asker->asked.last().text;
            return result == QDialog::Accepted;
        }, &said);
        QCOMPARE(outcome, FileSizeLimit::Outcome::ReportedFailure);
        QCOMPARE(said, QStringLiteral("Preferences|The preferences could not be saved: File too large"));
        QFile file(shellSettings().fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    void settings_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QVariant>("mirrorAfter");
        QTest::addColumn<QString>("message");
        QTest::newRow("OK") << true << QVariant(false) << "Settings saved";
        QTest::newRow("Cancel") << false << QVariant() << "";
    }
    void settings()
    {
        QFETCH(bool, accept);
        QFETCH(QVariant, mirrorAfter);
        QFETCH(QString, message);
        shellSettings().setValue(QLatin1String(kStable), QStringLiteral("/opt/<b>rs3"));
        QStringList labels;
        asker->onExec = [&](QDialog* dialog) {
            for (const QLabel* label : dialog->findChildren<QLabel*>())
                labels << label->text();
            auto* mirror = dialog->findChild<QCheckBox*>();
            if (!mirror->isChecked())
                return int(QDialog::Rejected);
            mirror->setChecked(false);
            return finish(dialog, accept);
        };
        window->statusBar()->clearMessage();
        window->openSettings();
        QCOMPARE(asker->asked.value(0).title, QStringLiteral("Settings"));
        // A folder name is shown as written, never read as markup.
        QVERIFY(labels.contains(QStringLiteral("<b>RaceStudio3 install:</b> <code>/opt/&lt;b&gt;rs3</code>")));
        QCOMPARE(shellSettings().value(QLatin1String(kMirror)), mirrorAfter);
        QCOMPARE(status(), message);
    }

    // Tools > Settings where the settings file cannot be written (a folder
    // in its place; a disk that takes no more): OK says why as Preferences
    // does and keeps the dialog open; nothing is said to be saved, nothing
    // is stored, and the file is as it was.
    void settingsThatCannotBeSavedSaySo_data()
    {
        QTest::addColumn<bool>("folderInPlace");
        QTest::addColumn<QString>("why");
        QTest::newRow("a folder in the file's place") << true << " is not a regular file";
        QTest::newRow("a full disk") << false << ": File too large";
    }
    void settingsThatCannotBeSavedSaySo()
    {
        QFETCH(bool, folderInPlace);
        QFETCH(QString, why);
        const QString file = shellSettings().fileName();
        shellSettings().setValue(QStringLiteral("MainWindow/geometry"), QByteArray(2000, 'g'));
        const auto restore = qScopeGuard([file] {
            if (QFileInfo(file).isDir())
                QDir(file).removeRecursively();
        });
        if (folderInPlace)
            QVERIFY(QFile::remove(file) && QDir().mkpath(file));
        const QByteArray before = [&file] {
            QFile in(file);
            return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
        }();
        asker->onExec = [](QDialog* dialog) {
            dialog->findChild<QCheckBox*>()->setChecked(false);
            return finish(dialog, true);
        };
        window->statusBar()->clearMessage();
        {
            std::unique_ptr<FileSizeLimit::Scope> full;
            if (!folderInPlace)
                full = std::make_unique<FileSizeLimit::Scope>(1000);
            window->openSettings();
        }
        QCOMPARE(asker->count(QStringLiteral("message")), 1);
        const ScriptedAsker::Asked warned = asker->asked.last();
        QCOMPARE(warned.title, QStringLiteral("Settings"));
        QVERIFY2(warned.text.startsWith(QStringLiteral("The settings could not be saved: ")) && warned.text.endsWith(why),
                 qPrintable(warned.text));
        QCOMPARE(status(), QString());
        QCOMPARE(shellSettings().value(QLatin1String(kMirror)), QVariant());
        QFile after(file);
        QCOMPARE(after.open(QIODevice::ReadOnly) ? after.readAll() : QByteArray(), before);
        QCOMPARE(QFileInfo(file).isDir(), folderInPlace);
    }

    // The settings file is a link made before its target (a dotfiles set-up
    // run on a new computer). In a folder of the user's, the start-up takes
    // it, and the first save makes the target there, the link staying a
    // link. A target whose folder is not there, or is another user's, is
    // not followed: the settings are kept in the data folder for the run,
    // and nothing is made at the target.
    void settingsLinkMadeBeforeItsTarget_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("the user's folder") << "mine";
        QTest::newRow("a folder not there") << "missing";
        QTest::newRow("another user's folder") << "theirs";
    }
    void settingsLinkMadeBeforeItsTarget()
    {
        QFETCH(QString, folder);
        const QString file = shellSettings().fileName();
        const QString configFolder = QFileInfo(QFileInfo(file).absolutePath()).absolutePath();
        QString targetFolder = TestEnvironment::makeTempDir(QStringLiteral("dotfiles"));
        if (folder == "missing")
            targetFolder += QStringLiteral("/not-yet");
        if (folder == "theirs") {
            // Root may give a folder away; anyone else finds one of root's.
            if (::geteuid() == 0)
                QVERIFY(::chown(QFile::encodeName(targetFolder).constData(), 4242, 4242) == 0);
            else
                targetFolder = QStringLiteral("/");
        }
        const QString target = QDir::cleanPath(targetFolder + QStringLiteral("/korv.conf"));
        const QString fallback = SettingsFile::fallbackFolder() + QStringLiteral("/Tindrel AS/Korvelanto.conf");
        window.reset();
        QFile::remove(file);
        QVERIFY(QFile::link(target, file));
        const auto restore = qScopeGuard([&] {
            QFile::remove(file);
            QFile::remove(fallback);
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configFolder);
            QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configFolder);
        });
        QString notice;
        const bool usable = SettingsFile::keepUsable(file, &notice);
        QCOMPARE(usable, folder == "mine");
        QVERIFY2(usable || notice.contains(file), qPrintable(notice));
        window = std::make_unique<MainWindow>();
        asker->onExec = [](QDialog* dialog) {
            dialog->findChild<QCheckBox*>()->setChecked(false);
            return finish(dialog, true);
        };
        window->openSettings();
        QCOMPARE(status(), QStringLiteral("Settings saved"));
        QVERIFY(QFileInfo(file).isSymLink());
        QCOMPARE(QFileInfo(file).symLinkTarget(), target);
        QCOMPARE(QFileInfo(target).isFile(), usable);
        if (usable)
            QCOMPARE(QSettings(target, QSettings::IniFormat).value(QLatin1String(kMirror)), QVariant("false"));
        else
            QCOMPARE(shellSettings().fileName(), fallback);
    }

    // The user keeps the settings file as a link into a dotfiles folder,
    // where it names the install: the start-up follows it, the editor finds
    // the install, and Preferences saved in the window replace the link's
    // target whole while the link stays a link.
    void settingsKeptThroughALink()
    {
        const QString file = shellSettings().fileName();
        const QString configFolder = QFileInfo(QFileInfo(file).absolutePath()).absolutePath();
        const QString install = TestEnvironment::makeTempDir(QStringLiteral("rs3"));
        QVERIFY(QDir().mkpath(install + QStringLiteral("/aim/resources/overlay")));
        const QString target = TestEnvironment::makeTempDir(QStringLiteral("dotfiles")) + QStringLiteral("/korv.conf");
        {
            QFile out(target);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write("[paths]\nraceStudio3Root=" + install.toUtf8() + "\n\n[updates]\ncheckOnStartup=false\n");
        }
        window.reset();
        QFile::remove(file);
        QVERIFY(QFile::link(target, file));
        const auto restore = qScopeGuard([&] {
            QFile::remove(file);
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configFolder);
            QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configFolder);
        });
        QString notice;
        QVERIFY2(SettingsFile::keepUsable(file, &notice), qPrintable(notice));
        window = std::make_unique<MainWindow>();
        QCOMPARE(raceStudio3Root(), install);
        QVERIFY(!checkUpdatesOnStartup());

        QStringList shown;
        asker->onExec = [&](QDialog* dialog) {
            for (const QLineEdit* field : dialog->findChildren<QLineEdit*>())
                shown << field->text();
            dialog->findChild<QCheckBox*>()->setChecked(true);
            return finish(dialog, true);
        };
        const ino_t before = inode(target);
        window->openPreferences();
        QCOMPARE(status(), QStringLiteral("Preferences saved"));
        QCOMPARE(shown.value(0), install);
        QVERIFY(QFileInfo(file).isSymLink());
        QCOMPARE(QFileInfo(file).symLinkTarget(), target);
        QVERIFY(inode(target) != before);
        const QSettings kept(target, QSettings::IniFormat);
        QCOMPARE(kept.value(QLatin1String(kUpdates)), QVariant(QStringLiteral("true")));
        QCOMPARE(kept.value(QLatin1String(kStable)), QVariant(install));
    }
};

KORV_TEST_MAIN(MainWindowSettingsTest)
#include "tst_mainwindowsettings.moc"
