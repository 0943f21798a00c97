#pragma once

// A shown window on a copy of the demo with the demo's own RS3 install, and
// the steps its artwork tests share: answering the box-style designer and
// message boxes through the scripted asker, and reading back the art and
// records a saved configuration points at. Header-only, because the window
// and the designer live in layers the support library does not link.

#include "canvas/DashCanvas.h"
#include "editing/MaskResize.h"
#include "editing/MoveCommand.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "panels/BoxStyleDialog.h"
#include "support/ConfigFixture.h"
#include "support/Rs3Fixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "window/MainWindow.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QMessageBox>
#include <QStatusBar>
#include <QUndoStack>
#include <QtTest>

#include <memory>

class DemoArtSession {
protected:
    // The demo's pages. Every page names its masks md.00 .. md.03, as page
    // templates and RaceStudio 3 do.
    static constexpr int kRace = 0;
    static constexpr int kEngine = 1;
    static constexpr int kLaps = 2;

    std::unique_ptr<Rs3Fixture> rs3;
    std::unique_ptr<ScriptedAsker> asker;
    std::unique_ptr<MainWindow> window;
    DashConfig* config = nullptr;
    QUndoStack* stack = nullptr;
    QString path;

    // A fresh install, and a fresh window on a fresh copy of the demo.
    void openDemo()
    {
        rs3 = std::make_unique<Rs3Fixture>();
        QVERIFY(rs3->addDemoStock(Rs3Fixture::Stable));
        asker = std::make_unique<ScriptedAsker>();
        path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        QVERIFY(!path.isEmpty());
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->loadConfig(path);
        config = window->findChild<DashCanvas*>()->config;
        stack = window->findChild<QUndoStack*>();
        QVERIFY(config && stack);
    }

    void closeDemo()
    {
        window.reset();
        asker.reset();
        rs3.reset();
    }

    // A second window on its own copy of the demo, in a folder of its own
    // under the same file name, swapped in for the session's helpers while
    // it acts.
    struct Other {
        std::unique_ptr<MainWindow> window;
        DashConfig* config = nullptr;
        QUndoStack* stack = nullptr;
        QString path;
    };

    void openOther(Other& b)
    {
        b.path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo-b")));
        QVERIFY(!b.path.isEmpty());
        b.window = std::make_unique<MainWindow>();
        b.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(b.window.get()));
        b.window->loadConfig(b.path);
        b.config = b.window->findChild<DashCanvas*>()->config;
        b.stack = b.window->findChild<QUndoStack*>();
    }

    void swapWith(Other& b)
    {
        std::swap(window, b.window);
        std::swap(config, b.config);
        std::swap(stack, b.stack);
        std::swap(path, b.path);
    }

    QString status() const { return window->statusBar()->currentMessage(); }
    QString maskPath(const DashConfig& c, int page, int mask) const
    {
        return paramValue(c.pages[size_t(page)].masks[size_t(mask)].node, "PATH_REL_AiM_MASK");
    }
    QString panelText(const char* name) const { return window->findChild<QLabel*>(name)->text(); }

    void select(int page, int mask)
    {
        window->onPageSelected(page);
        window->onElementSelected(mask);
    }

    // A resize as every entry makes it.
    void resize(int page, int mask, int width)
    {
        const MaskElement& m = config->pages[size_t(page)].masks[size_t(mask)];
        const QRect from(m.x, m.y, m.w, m.h);
        stack->push(maskResizeCommand(config, page, mask, from, QRect(from.topLeft(), QSize(width, m.h))));
    }

    // The box-style designer picks style `id` (and `caption`, unless null)
    // and is accepted.
    void chooseStyle(const QString& id, const QString& caption = QString())
    {
        asker->onExec = [id, caption](QDialog* dialog) {
            auto* designer = qobject_cast<BoxStyleDialog*>(dialog);
            if (!designer)
                return int(QDialog::Rejected);
            auto* styles = designer->findChild<QListWidget*>();
            for (int i = 0; i < styles->count(); ++i) {
                if (styles->item(i)->data(Qt::UserRole).toString() == id)
                    styles->setCurrentRow(i);
            }
            if (!caption.isNull()) {
                for (auto* edit : designer->findChildren<QLineEdit*>()) {
                    if (edit->placeholderText().startsWith(QLatin1String("e.g. ENGINE")))
                        edit->setText(caption);
                }
            }
            designer->onAccept();
            return designer->result();
        };
    }

    // Message boxes answered by clicking the first of `clicks` they offer.
    void clickThrough(const QStringList& clicks)
    {
        asker->onExec = [clicks](QDialog* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            if (!box)
                return int(QDialog::Rejected);
            for (QAbstractButton* button : box->buttons()) {
                if (clicks.contains(button->text())) {
                    button->click();
                    break;
                }
            }
            return box->result();
        };
    }

    // Every folder the configuration at `file` points its masks and pages
    // at, in the install.
    QStringList foldersOfSavedConfig(const QString& file) const
    {
        DashConfig saved;
        if (!saved.load(file))
            return {QStringLiteral("<unreadable>")};
        QStringList folders;
        for (int p = 0; p < saved.pageCount(); ++p) {
            for (const QString& image : saved.pageImagePaths(p))
                folders << image.left(image.lastIndexOf(QLatin1Char('/')) + 1);
            for (int m = 0; m < int(saved.pages[size_t(p)].masks.size()); ++m)
                folders << maskPath(saved, p, m);
        }
        return folders;
    }

    // Every file of those folders, as the stable install holds them now.
    QMap<QString, QByteArray> filesIn(const QStringList& folders) const
    {
        QMap<QString, QByteArray> files;
        for (const QString& folder : folders) {
            if (folder.isEmpty())
                continue;
            if (folder.startsWith(QLatin1Char('<'))) {
                files.insert(folder, QByteArray());
                continue;
            }
            const auto tree = Rs3Fixture::treeSnapshot(rs3->absolutePath(Rs3Fixture::Stable, folder));
            for (auto it = tree.constBegin(); it != tree.constEnd(); ++it)
                files.insert(folder + it.key(), it.value());
        }
        return files;
    }

    QMap<QString, QByteArray> filesOfSavedConfig(const QString& file) const
    {
        return filesIn(foldersOfSavedConfig(file));
    }

    QByteArray sidecars() const
    {
        QByteArray all;
        for (const QString& file : {config->boxStylesSidecarPath(), config->multiBoxSidecarPath(),
                                    config->barColorSidecarPath(), config->iconPreviewSidecarPath()}) {
            QFile f(file);
            all += file.toUtf8() + '\n' + (f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>")) + '\n';
        }
        return all;
    }
};
