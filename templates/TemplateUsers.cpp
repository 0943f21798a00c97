#include "templates/TemplateUsers.h"

#include "templates/PageTemplate.h"
#include "templates/PageTemplateLibrary.h"
#include "templates/ConfigsFootprint.h"
#include "templates/SavedConfigsSearch.h"
#include "templates/TemplateReferenceCount.h"
#include "model/DashConfig.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QCursor>
#include <QGuiApplication>
#include <QThread>

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

std::function<TemplateUsers::Progress()>& progressShown()
{
    static std::function<TemplateUsers::Progress()> make;
    return make;
}

} // namespace

void TemplateUsers::setProgressShown(const std::function<Progress()>& make)
{
    progressShown() = make;
}

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
    for (const TemplateReference& ref : savedFiles)
        out << line(QDir::toNativeSeparators(ref.cfgFolderPath), ref.referenceCount);
    if (heldByUndo > 0)
        out << line(tr("pages and boxes Undo or Redo can bring back"), heldByUndo);
    return out;
}

QString TemplateUsers::unread() const
{
    if (complete())
        return {};
    return tr("Could not be read, so a configuration there may use it:") + QLatin1Char('\n') + firstDozen(skipped);
}

QString TemplateUsers::listing() const
{
    QStringList parts;
    if (found())
        parts << firstDozen(lines());
    if (!complete())
        parts << unread();
    return parts.join(QStringLiteral("\n\n"));
}

QString TemplateUsers::notSearched() const
{
    const QString text = tr("Only the open configuration, RaceStudio 3's configurations folder and the "
                            "configurations Korvelanto saved were searched: a configuration copied or saved anywhere "
                            "else (a kept copy, a file saved by another program, or pages open in another window) "
                            "that uses it loses or changes its background and pictures.");
    return complete() ? text : text + QStringLiteral("\n\n") + unread();
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
    const QString name = tpl.folderName.trimmed();
    if (!tpl.homebrew || name.isEmpty())
        return {};
    return ofFolderNames({name}, config, held).value(name);
}

TemplateUsers TemplateUsers::ofFolderName(const QString& folderName, const DashConfig* config,
                                          const HeldXmlWalk& held)
{
    PageTemplate tpl;
    tpl.folderName = folderName;
    tpl.homebrew = true;
    return of(tpl, config, held);
}

QHash<QString, TemplateUsers> TemplateUsers::ofFolderNames(const QStringList& folderNames, const DashConfig* config,
                                                           const HeldXmlWalk& held)
{
    return ofFolderNames(folderNames, config, held, {});
}

QHash<QString, TemplateUsers> TemplateUsers::ofFolderNames(const QStringList& folderNames, const DashConfig* config,
                                                           const HeldXmlWalk& held,
                                                           const std::function<void(int, int)>& progress,
                                                           ConfigsFootprint* footprint, const QString& ownSavedFile)
{
    QHash<QString, TemplateUsers> all;
    QStringList names;
    for (const QString& given : folderNames) {
        all.insert(given, {});
        if (!given.trimmed().isEmpty() && !names.contains(given.trimmed()))
            names << given.trimmed();
    }
    if (names.isEmpty())
        return all;
    BusyCursor busy;
    // Told as one count: RaceStudio 3's configurations, then the saved files.
    // Shown by the thread that owns the windows only.
    const bool onWindowsThread =
        QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
    const Progress shown = !progress && progressShown() && onWindowsThread ? progressShown()() : Progress();
    int rs3Total = 0;
    bool going = true;
    const auto rs3Progress = [&](int done, int total) {
        rs3Total = total;
        if (progress)
            progress(done, total);
        else if (shown && going)
            going = shown(done, total);
    };
    const auto savedProgress = [&](int done, int total) {
        if (progress)
            return true;
        if (shown && going)
            going = shown(rs3Total + done, rs3Total + total);
        return going;
    };
    // The saved files are looked at while RaceStudio 3's are counted. The
    // open configuration's saved file is counted with its pages.
    SavedConfigsSearch savedSearch(names, config ? config->zconf2Path : ownSavedFile);
    QStringList skipped;
    const QHash<QString, QList<TemplateReference>> configs =
        PageTemplateLibrary::configsReferencingFolderNames(names, &skipped, rs3Progress, footprint);
    QStringList savedUnread;
    const QHash<QString, QList<TemplateReference>> saved =
        savedSearch.referencing(&savedUnread, footprint, savedProgress);
    for (const QString& line : std::as_const(savedUnread))
        qWarning().noquote() << "TemplateUsers: not read:" << line;
    if (footprint && !savedUnread.isEmpty())
        footprint->setIncomplete();
    skipped += savedUnread;
    const QHash<QString, TemplateReference> open =
        config ? PageTemplateLibrary::openConfigReferencingFolderNames(names, *config)
               : QHash<QString, TemplateReference>();
    QHash<QString, int> heldByUndo;
    if (held) {
        held([&](const pugi::xml_node& node) {
            for (const QString& name : std::as_const(names))
                heldByUndo[name] += TemplateReferenceCount::inNode(node, name);
        });
    }
    for (auto it = all.begin(); it != all.end(); ++it) {
        const QString name = it.key().trimmed();
        if (name.isEmpty())
            continue;
        it->configs = configs.value(name);
        it->savedFiles = saved.value(name);
        it->open = open.value(name);
        it->heldByUndo = heldByUndo.value(name);
        it->skipped = skipped;
    }
    return all;
}
