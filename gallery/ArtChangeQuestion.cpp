#include "gallery/ArtChangeQuestion.h"

#include "gallery/ThemeInstaller.h"
#include "model/FolderCopy.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ArtChangeQuestion", text);
}

// Where a cut at `at` falls between whole characters: never inside a
// surrogate pair nor between a letter and its accents. The first boundary
// at or before `at`, and the first at or after it.
qsizetype wholeCharactersUpTo(const QString& text, qsizetype at)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(at);
    return finder.isAtBoundary() ? at : std::max<qsizetype>(finder.toPreviousBoundary(), 0);
}

qsizetype wholeCharactersFrom(const QString& text, qsizetype at)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(at);
    if (finder.isAtBoundary())
        return at;
    const qsizetype next = finder.toNextBoundary();
    return next < 0 ? text.size() : next;
}

} // namespace

QString ArtChangeQuestion::usersText(const QList<ArtFolderInUse>& folders)
{
    QStringList used;
    QStringList unused;
    TemplateUsers unread;
    for (const ArtFolderInUse& folder : folders) {
        if (folder.users.found())
            used << tr("\"%1\" is used by:").arg(folder.folderName) << folder.users.lines();
        else if (folder.users.inUse())
            used << tr("\"%1\" may be used by what could not be read (below)").arg(folder.folderName);
        else
            unused << QStringLiteral("    \"%1\"").arg(folder.folderName);
        for (const QString& skipped : folder.users.skipped) {
            if (!unread.skipped.contains(skipped))
                unread.skipped << skipped;
        }
    }
    QStringList parts;
    if (!used.isEmpty())
        parts << TemplateUsers::firstDozen(used);
    if (!unused.isEmpty())
        parts << tr("No configuration was found to use:") + QLatin1Char('\n') + TemplateUsers::firstDozen(unused);
    // The configurations the gallery placed are where a new user's are.
    parts << unread.notSearched()
          << tr("The configurations the online gallery installed, in %1, were not searched either.")
                 .arg(QDir::toNativeSeparators(gallery::ThemeInstaller::defaultConfigFolder()));
    return parts.join(QStringLiteral("\n\n"));
}

QString ArtChangeQuestion::pathList(const QStringList& paths)
{
    QStringList native;
    for (const QString& path : paths)
        native.append(QDir::toNativeSeparators(path));
    return TemplateUsers::firstDozen(native);
}

QString ArtChangeQuestion::shortPathList(const QStringList& paths)
{
    // A path too wide for the box wraps into two lines or more, and a dozen
    // of them push the buttons off the screen: the middle goes, the install
    // and the file stay readable, and the log has every path whole.
    constexpr qsizetype widest = 96;
    constexpr qsizetype head = 32;
    QStringList shown;
    for (const QString& path : paths) {
        const QString native = QDir::toNativeSeparators(path);
        if (native.size() <= widest) {
            shown.append(native);
            continue;
        }
        qInfo().noquote() << "ArtChangeQuestion::shortPathList: shown shortened:" << native;
        shown.append(native.left(wholeCharactersUpTo(native, head)) + QChar(0x2026)
                     + native.mid(wholeCharactersFrom(native, native.size() - (widest - head - 1))));
    }
    return TemplateUsers::firstDozen(shown);
}

QString ArtChangeQuestion::numberedName(const QString& name, int n)
{
    const QString suffix = QLatin1Char('_') + QString::number(n);
    QString base = name;
    while (!base.isEmpty() && !FolderCopy::whyNameDoesNotFit(base + suffix).isEmpty()) {
        base.chop(1);
        // Never half a character: a surrogate pair goes whole.
        if (!base.isEmpty() && base.back().isHighSurrogate())
            base.chop(1);
    }
    // Windows drops a folder name's trailing blanks and dots.
    while (base.endsWith(QLatin1Char(' ')) || base.endsWith(QLatin1Char('.')))
        base.chop(1);
    return base.isEmpty() ? QString() : base + suffix;
}
