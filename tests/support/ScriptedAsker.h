#pragma once

#include "panels/Asker.h"

#include <QDialog>
#include <QList>
#include <QStringList>

#include <functional>

// The test double of Asker: answers come from queues the test fills, every
// question is recorded, and nothing is shown. An empty queue answers as a
// user who cancels (the default button, an empty name, an invalid colour).
// Header-only so that only tests which link the panels library include it.
class ScriptedAsker : public Asker
{
public:
    struct Asked {
        QString kind;  // "message", "open", "save", "folder", "text", "color", "exec", "folder-open"
        QString title;
        QString text;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton; // of a message box
        QMessageBox::StandardButtons offered = {};                          // a message box's buttons
    };

    QList<QMessageBox::StandardButton> buttons;
    QStringList fileNames;  // open, save and folder answers, in order
    QList<QPair<bool, QString>> texts;
    QStringList textPresets; // the text each text question opened with
    QList<QColor> colors;
    // Runs instead of exec(): the test may fill the dialog's controls, then
    // returns its result code. Without one, dialogs are rejected.
    std::function<int(QDialog*)> onExec;
    // Runs at each message box, once it is recorded, before it is answered:
    // the test may change the world at that moment (fill the disk).
    std::function<void(const Asked&)> onMessage;
    QList<Asked> asked;
    // The folder each file or folder question opened in, and the initial
    // value of each text question, in the order asked.
    QStringList startDirs;
    QStringList textInitials;

    ScriptedAsker() { Asker::setInstance(this); }
    ~ScriptedAsker() override { Asker::setInstance(nullptr); }

    QMessageBox::StandardButton message(QWidget*, QMessageBox::Icon, const QString& title, const QString& text,
                                        QMessageBox::StandardButtons offered, QMessageBox::StandardButton def) override
    {
        asked.append({QStringLiteral("message"), title, text, def, offered});
        if (onMessage)
            onMessage(asked.last());
        return buttons.isEmpty() ? def : buttons.takeFirst();
    }
    QString openFileName(QWidget*, const QString& caption, const QString& dir, const QString&) override
    {
        startDirs.append(dir);
        return nextFile(QStringLiteral("open"), caption);
    }
    QString saveFileName(QWidget*, const QString& caption, const QString& dir, const QString&) override
    {
        startDirs.append(dir);
        return nextFile(QStringLiteral("save"), caption);
    }
    QString existingDirectory(QWidget*, const QString& caption, const QString& dir) override
    {
        startDirs.append(dir);
        return nextFile(QStringLiteral("folder"), caption);
    }
    QString text(QWidget*, const QString& title, const QString& label, const QString& initial, bool* ok) override
    {
        textInitials.append(initial);
        asked.append({QStringLiteral("text"), title, label});
        textPresets.append(initial);
        const QPair<bool, QString> answer = texts.isEmpty() ? qMakePair(false, QString()) : texts.takeFirst();
        if (ok)
            *ok = answer.first;
        return answer.second;
    }
    // The text of a colour question is the colour it opened at (#AARRGGBB).
    QColor color(QWidget*, const QColor& initial, const QString& title, QColorDialog::ColorDialogOptions) override
    {
        asked.append({QStringLiteral("color"), title, initial.name(QColor::HexArgb)});
        return colors.isEmpty() ? QColor() : colors.takeFirst();
    }
    int exec(QDialog* dialog) override
    {
        asked.append({QStringLiteral("exec"), dialog ? dialog->windowTitle() : QString(), QString()});
        return onExec ? onExec(dialog) : int(QDialog::Rejected);
    }

    // Recorded as "folder-open" with the path as its text; the answer is
    // openFolderResult.
    bool openFolderResult = true;
    bool openFolder(const QString& path) override
    {
        asked.append({QStringLiteral("folder-open"), QString(), path});
        return openFolderResult;
    }

    int count(const QString& kind) const
    {
        int n = 0;
        for (const Asked& a : asked)
            n += a.kind == kind;
        return n;
    }

private:
    QString nextFile(const QString& kind, const QString& caption)
    {
        asked.append({kind, caption, QString()});
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
};
