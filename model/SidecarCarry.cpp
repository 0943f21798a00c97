#include "model/SidecarCarry.h"

#include "model/ErrorText.h"
#include "model/FileEntries.h"
#include "model/FolderCopy.h"
#include "model/SafeWrite.h"
#include "model/SamePath.h"
#include "model/ZipArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("SidecarCarry", text);
}

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// The system's reason a file call failed, never empty.
QString systemText(const QFileDevice& file)
{
    const QString said = file.errorString();
    return said.isEmpty() || said == QLatin1String("Unknown error") ? qt_error_string(errno) : said;
}

// A copy of from in a new temporary file beside to; its path, or empty with
// *error set.
QString stageCopy(const QString& from, const QString& to, QString* error)
{
    // Only a plain file is a store: a link may lead out of the folder and a
    // pipe would never end, so neither is read.
    constexpr qint64 kStoreReadBound = 16 * 1024 * 1024;
    QByteArray bytes;
    QString read;
    if (!FolderCopy::readRegularFile(from, kStoreReadBound, &bytes, &read)) {
        const QFileInfo info(from);
        const QString why = info.isSymLink()                   ? tr("it is a symbolic link")
                            : !FolderCopy::isRegularFile(from) ? tr("it is not a regular file")
                            : info.size() > kStoreReadBound    ? tr("it is too large to be a store")
                                                               : read;
        failWith(error, tr("%1 could not be read: %2").arg(native(from), why));
        return {};
    }
    // A short name of its own beside the new one: the new name may already
    // take all a name may hold (a long name in a script of many bytes).
    QTemporaryFile out(QFileInfo(to).absolutePath() + QStringLiteral("/.korvelanto-carry-XXXXXX"));
    out.setAutoRemove(false);
    const bool opened = out.open();
    const QString openFailure = opened ? QString() : systemText(out);
    const bool written = opened && writeWhole(out, bytes.constData(), bytes.size()) && out.flush();
    if (!written) {
        failWith(error, tr("%1 could not be copied to %2: %3")
                            .arg(native(from), native(to), opened ? systemText(out) : openFailure));
        if (opened) {
            out.close();
            QString ignored;
            FileEntries::removeFile(out.fileName(), &ignored);
        }
        return {};
    }
    out.close();
    // The copy takes the mode of the sidecar it copies, writable by its owner
    // as the stores rewrite it.
    QFile::setPermissions(out.fileName(), QFile::permissions(from) | QFileDevice::WriteOwner);
    return out.fileName();
}

} // namespace

SidecarCarry::SidecarCarry(const QStringList& from, const QStringList& to)
{
    for (qsizetype i = 0; i < qMin(from.size(), to.size()); ++i) {
        if (!from.at(i).isEmpty() && !to.at(i).isEmpty() && !isSamePath(from.at(i), to.at(i)))
            m_moves.push_back({from.at(i), to.at(i), QString()});
    }
}

SidecarCarry::~SidecarCarry()
{
    for (const Move& move : m_moves) {
        QString ignored;
        if (!move.staged.isEmpty())
            FileEntries::removeFile(move.staged, &ignored);
    }
}

bool SidecarCarry::stage(QString* error)
{
    for (Move& move : m_moves) {
        const QFileInfo target(move.to);
        if ((target.exists() || target.isSymLink()) && !target.isFile())
            return failWith(error, tr("%1 is in the way: it is not a file.").arg(native(move.to)));
        const QFileInfo source(move.from);
        if ((source.exists() || source.isSymLink()) && (move.staged = stageCopy(move.from, move.to, error)).isEmpty())
            return false;
    }
    return true;
}

bool SidecarCarry::commit(QString* error)
{
    for (Move& move : m_moves) {
        QString why;
        if (!move.staged.isEmpty()) {
            if (!renameOverFile(move.staged, move.to, &why))
                return failWith(error, tr("%1 could not be put in place: %2.").arg(native(move.to), why));
            move.staged.clear();
        } else if (QFileInfo::exists(move.to) && !FileEntries::removeFile(move.to, &why)) {
            return failWith(error, tr("%1 could not be removed (%2); it belongs to the file that was replaced.")
                                       .arg(native(move.to), why));
        }
    }
    return true;
}
