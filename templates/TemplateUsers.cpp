#include "templates/TemplateUsers.h"

#include "templates/PageTemplate.h"
#include "templates/PageTemplateLibrary.h"
#include "templates/TemplateReferenceCount.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QCursor>
#include <QGuiApplication>

namespace {

QString tr(const char* text, int n = -1)
{
    return QCoreApplication::translate("TemplateUsers", text, nullptr, n);
}

// The count reads every configuration of the installs, which takes a while
// on a full install: the cursor says so.
class BusyCursor {
public:
    BusyCursor() : m_shown(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (m_shown)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~BusyCursor()
    {
        if (m_shown)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    bool m_shown;
};

} // namespace

QStringList TemplateUsers::lines() const
{
    QStringList out;
    const auto line = [](const QString& name, int count) {
        return tr("    %1  (%n reference(s))", count).arg(name);
    };
    if (open.referenceCount > 0)
        out << line(open.configName.isEmpty() ? tr("(not saved yet)") : open.configName, open.referenceCount);
    for (const TemplateReference& ref : configs)
        out << line(ref.configName, ref.referenceCount);
    if (heldByUndo > 0)
        out << line(tr("pages and boxes Undo or Redo can bring back"), heldByUndo);
    return out;
}

QString TemplateUsers::notSearched() const
{
    QString text = tr("Only the open configuration and RaceStudio 3's configurations folder were searched: a "
                      "configuration saved anywhere else (a kept copy, a file in another folder or open in another "
                      "window) that uses it loses or changes its background and pictures.");
    if (skipped.isEmpty())
        return text;
    return text + QStringLiteral("\n\n") + tr("Not searched, as links and special files are never followed:")
        + QLatin1Char('\n') + firstDozen(skipped);
}

QString TemplateUsers::firstDozen(const QStringList& lines)
{
    constexpr qsizetype shown = 12;
    if (lines.size() <= shown + 1)
        return lines.join(QLatin1Char('\n'));
    for (const QString& line : lines)
        qInfo().noquote() << "TemplateUsers::firstDozen: left out of the question:" << line;
    return lines.mid(0, shown).join(QLatin1Char('\n')) + QLatin1Char('\n')
        + tr("\u2026 and %n more (all of them are in the log file)", int(lines.size() - shown));
}

TemplateUsers TemplateUsers::of(const PageTemplate& tpl, const DashConfig* config, const HeldXmlWalk& held)
{
    TemplateUsers users;
    const QString name = tpl.folderName.trimmed();
    if (!tpl.homebrew || name.isEmpty())
        return users;
    BusyCursor busy;
    users.configs = PageTemplateLibrary::configsReferencingTemplate(tpl, &users.skipped);
    if (config)
        users.open = PageTemplateLibrary::openConfigReferencing(tpl, *config);
    if (held)
        held([&](const pugi::xml_node& node) { users.heldByUndo += TemplateReferenceCount::inNode(node, name); });
    return users;
}

TemplateUsers TemplateUsers::ofFolderName(const QString& folderName, const DashConfig* config,
                                          const HeldXmlWalk& held)
{
    PageTemplate tpl;
    tpl.folderName = folderName;
    tpl.homebrew = true;
    return of(tpl, config, held);
}
