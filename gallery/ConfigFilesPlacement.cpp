#include "gallery/ConfigFilesPlacement.h"

#include "artwork/ArtworkFiles.h"
#include "model/DashConfig.h"
#include "model/ErrorText.h"
#include "model/FileEntries.h"
#include "model/FolderCopy.h"
#include "model/SafeWrite.h"
#include "model/ZipArchive.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ConfigBundleInstall", text);
}

QString configSuffix()
{
    return QStringLiteral(".zconf2");
}

// The other form of a configuration file: its record stores are named by
// the base name alone, so they are shared with a ".zconf2" of that name.
QString companionSuffix()
{
    return QStringLiteral(".zconfig");
}

// A file, or a link whose target is gone: either is something at that name.
bool present(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Far above any configuration or store; a larger file is none of ours.
constexpr qint64 kPlacedReadBound = 256 * 1024 * 1024;

// The bytes of a plain file; false for a link, a pipe or a device (never
// followed nor waited on), or a file beyond the bound.
bool contentOf(const QString& path, QByteArray* bytes)
{
    return FolderCopy::readRegularFile(path, kPlacedReadBound, bytes);
}

// incoming is empty for a file the bundle does not carry. Something that is
// no plain file is never the same as what the bundle brings.
bool sameFile(const QString& mine, const QString& incoming)
{
    if (!present(mine))
        return incoming.isEmpty() || !present(incoming);
    QByteArray a;
    QByteArray b;
    return !incoming.isEmpty() && contentOf(mine, &a) && contentOf(incoming, &b) && a == b;
}

// A hidden name beside target that nothing uses yet; empty when none can be
// had (a name too long for the disk): the step using it then fails.
QString besideName(const QString& target, const char* tag)
{
    return FileEntries::besideName(target, tag, nullptr, true);
}

// Copies source into a new file at staged, whole or not at all. *why says
// whether reading or writing failed, naming the file and the system's reason.
bool writeStaged(const QString& source, const QString& staged, const QString& shownTarget, QString* why)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return failWith(why, tr("cannot read %1: %2").arg(source, in.errorString()));
    // Unbuffered: a write the disk refuses part way is written again at once,
    // and that one fails with the system's reason.
    QFile out(staged);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return failWith(why, tr("cannot write %1: %2").arg(shownTarget, out.errorString()));
    QByteArray chunk;
    bool complete = true;
    while (complete && !(chunk = in.read(1 << 16)).isEmpty())
        complete = writeWhole(out, chunk.constData(), chunk.size());
    complete = complete && out.flush() && out.error() == QFileDevice::NoError;
    if (complete && in.error() == QFileDevice::NoError) {
        out.close();
        if (out.error() == QFileDevice::NoError)
            return true;
    }
    const QString reason = in.error() != QFileDevice::NoError
        ? tr("cannot read %1: %2").arg(source, in.errorString())
        : tr("cannot write %1: %2").arg(shownTarget, out.errorString());
    out.close();
    QFile::remove(staged);
    return failWith(why, reason);
}

} // namespace

ConfigFilesPlacement::ConfigFilesPlacement(const QString& extracted, const QString& configName,
                                           const QString& configFolder)
    : m_baseName(QFileInfo(configName).completeBaseName()), m_folder(configFolder)
{
    Slot config;
    config.name = m_baseName + configSuffix();
    config.incoming = extracted + QLatin1Char('/') + configName;
    m_slots.push_back(config);
    for (const QString& name : DashConfig::sidecarFileNames(m_baseName)) {
        Slot slot;
        slot.name = name;
        const QString incoming = extracted + QLatin1Char('/') + name;
        if (QFileInfo(incoming).isFile())
            slot.incoming = incoming;
        m_slots.push_back(slot);
    }
}

ConfigFilesPlacement::~ConfigFilesPlacement()
{
    for (const Slot& slot : m_slots) {
        if (!slot.staged.isEmpty() && !slot.placed)
            QFile::remove(slot.staged);
    }
}

QString ConfigFilesPlacement::target(const QString& name) const
{
    return m_folder + QLatin1Char('/') + name;
}

QString ConfigFilesPlacement::placedPath() const
{
    return target(m_baseName + configSuffix());
}

bool ConfigFilesPlacement::unchanged() const
{
    for (const Slot& slot : m_slots) {
        if (!sameFile(target(slot.name), slot.incoming))
            return false;
    }
    return true;
}

bool ConfigFilesPlacement::storesChange() const
{
    for (size_t i = 1; i < m_slots.size(); ++i) {
        if (!sameFile(target(m_slots[i].name), m_slots[i].incoming))
            return true;
    }
    return false;
}

QStringList ConfigFilesPlacement::touched() const
{
    QStringList files;
    bool storeTouched = false;
    for (size_t i = 0; i < m_slots.size(); ++i) {
        const QString placed = target(m_slots[i].name);
        if (sameFile(placed, m_slots[i].incoming))
            continue;
        files.append(placed);
        storeTouched = storeTouched || i > 0; // the first slot is the configuration itself
    }
    const QString companion = target(m_baseName + companionSuffix());
    if (storeTouched && present(companion))
        files.append(companion);
    return files;
}

bool ConfigFilesPlacement::place(QString* error)
{
    if (unchanged())
        return true;
    if (!QDir().mkpath(m_folder))
        return failWith(error, tr("could not place the config at %1: cannot create the folder %2")
                                   .arg(placedPath(), m_folder));
    if (!keepCopies(error))
        return false;
    if (!stage(error) || !swap(error)) {
        if (putBack())
            removeKeptCopies();
        return false;
    }
    for (const Slot& slot : m_slots) {
        if (!slot.aside.isEmpty() && !QFile::remove(slot.aside))
            qWarning().noquote() << "installConfigInstallBundle: could not remove the replaced" << slot.aside;
    }
    return true;
}

QString ConfigFilesPlacement::freeCopyStem(const QString& folder, const QString& baseName)
{
    const QStringList names =
        QStringList{configSuffix(), companionSuffix()} + DashConfig::sidecarFileNames(QString());
    for (int n = 1;; ++n) {
        const QString candidate = baseName + QStringLiteral(".bak") + (n == 1 ? QString() : QString::number(n));
        bool free = true;
        for (const QString& suffix : names)
            free = free && !present(folder + QLatin1Char('/') + candidate + suffix);
        if (free)
            return candidate;
    }
}

// The files of the configuration's name already there go to a free copy
// stem before anything replaces them.
bool ConfigFilesPlacement::keepCopies(QString* error)
{
    const QStringList names =
        QStringList{configSuffix(), companionSuffix()} + DashConfig::sidecarFileNames(QString());
    const QString stem = freeCopyStem(m_folder, m_baseName);
    // The ".zconfig" of the name is not replaced; it is kept only with the
    // stores it shares, so that its copy opens with its own records.
    const bool companion = storesChange();
    for (const QString& suffix : names) {
        const QString source = target(m_baseName + suffix);
        if (!QFileInfo::exists(source) || (suffix == companionSuffix() && !companion))
            continue;
        const QString copy = target(stem + suffix);
        QString why;
        // A link there may lead to the user's own file, a pipe would wait
        // forever: neither is read nor replaced, and the install names it.
        const QFileInfo there(source);
        if (there.isSymLink())
            why = tr("%1 is a symbolic link").arg(source);
        else if (!there.isDir() && !FolderCopy::isRegularFile(source))
            why = tr("%1 is not a regular file").arg(source);
        if (!why.isEmpty() || !copyFileOver(source, copy, &why)) {
            QFile::remove(copy);
            removeKeptCopies();
            return failWith(error, tr("could not keep a copy of %1: %2").arg(source, why));
        }
        m_kept.append(copy);
    }
    return true;
}

// Every incoming file is written whole beside its target before any target
// changes: a disk that fills stops the install here, with nothing replaced.
bool ConfigFilesPlacement::stage(QString* error)
{
    for (Slot& slot : m_slots) {
        if (slot.incoming.isEmpty())
            continue;
        const QString placed = target(slot.name);
        slot.staged = besideName(placed, "incoming");
        QString why;
        if (!writeStaged(slot.incoming, slot.staged, placed, &why)) {
            slot.staged.clear();
            return failWith(error, slot.name.endsWith(configSuffix())
                                       ? tr("could not place the config at %1: %2").arg(placed, why)
                                       : tr("could not place %1: %2").arg(placed, why));
        }
    }
    return true;
}

// Renames only, in one folder: each file there moves aside, then the staged
// one takes its name; a store the bundle does not carry just moves aside.
bool ConfigFilesPlacement::swap(QString* error)
{
    for (Slot& slot : m_slots) {
        const QString placed = target(slot.name);
        if (present(placed)) {
            const QString aside = besideName(placed, "replaced");
            if (!archiveRename(placed, aside)) {
                return failWith(error, slot.incoming.isEmpty()
                                           ? tr("could not remove %1, left by the configuration that was "
                                                "replaced: %2")
                                                 .arg(placed, tr("it cannot be renamed"))
                                           : tr("could not replace %1: %2").arg(placed, tr("it cannot be renamed")));
            }
            slot.aside = aside;
        }
        if (slot.staged.isEmpty())
            continue;
        if (!archiveRename(slot.staged, placed))
            return failWith(error, tr("could not replace %1: %2").arg(placed, tr("the new file cannot be renamed "
                                                                                    "to its name")));
        slot.placed = true;
    }
    return true;
}

// Undoes the swap, last step first. False when a file could not be put
// back: its copy then stays, named by keptFiles().
bool ConfigFilesPlacement::putBack()
{
    bool whole = true;
    for (auto slot = m_slots.rbegin(); slot != m_slots.rend(); ++slot) {
        const QString placed = target(slot->name);
        if (slot->placed && QFile::remove(placed))
            slot->placed = false;
        if (slot->placed) {
            whole = false;
            continue;
        }
        if (!slot->aside.isEmpty()) {
            if (archiveRename(slot->aside, placed))
                slot->aside.clear();
            else
                whole = false;
        }
    }
    if (!whole)
        qWarning().noquote() << "installConfigInstallBundle: not every file could be put back in" << m_folder
                             << "; the copies are kept:" << m_kept.join(QStringLiteral(", "));
    return whole;
}

void ConfigFilesPlacement::removeKeptCopies()
{
    for (const QString& copy : m_kept) {
        if (!QFile::remove(copy))
            qWarning().noquote() << "installConfigInstallBundle: could not remove the copy" << copy;
    }
    m_kept.clear();
}
