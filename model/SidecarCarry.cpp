#include "model/SidecarCarry.h"

#include "model/ErrorText.h"
#include "model/FolderCopy.h"
#include "model/SafeWrite.h"
#include "model/SamePath.h"
#include "model/ZipArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("SidecarCarry", text);
}

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// A copy of from in a new temporary file beside to; its path, or empty with
// *error set.
QString stageCopy(const QString& from, const QString& to, QString* error)
{
    // Only a plain file is a store: a link may lead out of the folder and a
    // pipe would never end, so neither is read.
    constexpr qint64 kStoreReadBound = 16 * 1024 * 1024;
    QByteArray bytes;
    if (!FolderCopy::readRegularFile(from, kStoreReadBound, &bytes)) {
        const QFileInfo info(from);
        const QString why = info.isSymLink()                   ? tr("it is a symbolic link")
                            : !FolderCopy::isRegularFile(from) ? tr("it is not a regular file")
                            : info.size() > kStoreReadBound    ? tr("it is too large to be a store")
                                                               : tr("it cannot be opened");
        failWith(error, tr("%1 could not be read: %2").arg(native(from), why));
        return {};
    }
    QTemporaryFile out(to + QStringLiteral(".XXXXXX"));
    out.setAutoRemove(false);
    const bool written = out.open() && writeWhole(out, bytes.constData(), bytes.size()) && out.flush();
    if (!written) {
        failWith(error, tr("%1 could not be copied to %2: %3").arg(native(from), native(to), out.errorString()));
        out.remove();
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
        if (!move.staged.isEmpty())
            QFile::remove(move.staged);
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
        if (!move.staged.isEmpty()) {
            if (!renameOverFile(move.staged, move.to))
                return failWith(error, tr("%1 could not be put in place.").arg(native(move.to)));
            move.staged.clear();
        } else if (QFileInfo::exists(move.to) && !QFile::remove(move.to)) {
            return failWith(error, tr("%1 could not be removed; it belongs to the file that was replaced.")
                                       .arg(native(move.to)));
        }
    }
    return true;
}
