// The two text patches of pMain.P2.xml: the declaration of the background
// the device paints, and RS3's placeholder background name. Both keep every
// other byte of the file as it is, which a re-serialisation would not.
#include "templates/PageTemplateLibrary.h"

#include "artwork/ArtworkFiles.h"
#include "model/FolderCopy.h"
#include "model/SafeRead.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QRegularExpression& declarationLine()
{
    static const QRegularExpression re(
        QStringLiteral("[ \\t]*<p\\s+n=\"PATH_IMAGE_SFONDO_FW\"\\s*(?:/>|>.*?</p>)[ \\t]*\\r?\\n?"),
        QRegularExpression::DotMatchesEverythingOption);
    return re;
}

const QRegularExpression& pictureLine()
{
    static const QRegularExpression re(
        QStringLiteral("([ \\t]*<p\\s+n=\"PATH_IMAGE\"\\s*(?:/>|>.*?</p>)[ \\t]*\\r?\\n)"),
        QRegularExpression::DotMatchesEverythingOption);
    return re;
}

// A page file of the set: plain, never through a link, within a bound.
bool readAll(const QString& path, QByteArray* bytes, QString* error)
{
    return SafeRead::readFile(path, kArtFileReadBound, bytes, error);
}

// Where the declaration goes in a page file without a PATH_IMAGE line: the
// start of the line holding the page element's first nested element or its
// end tag. -1 when the page element is missing or never closes.
int insertionPoint(const QString& text, const QString& path)
{
    const int page = text.indexOf(QLatin1String("<e c=\"GPageParam\""));
    const int open = page < 0 ? -1 : text.indexOf(QLatin1Char('>'), page);
    if (open < 0) {
        qWarning().noquote() << "setPMainSfondoFw: no GPageParam in" << path
                             << "- cannot place the background declaration";
        return -1;
    }
    const int nested = text.indexOf(QLatin1String("<e "), open + 1);
    const int close = text.indexOf(QLatin1String("</e>"), open + 1);
    int at = nested < 0 ? close : (close < 0 ? nested : qMin(nested, close));
    if (at < 0) {
        qWarning().noquote() << "setPMainSfondoFw: GPageParam never closes in" << path;
        return -1;
    }
    const int lineStart = text.lastIndexOf(QLatin1Char('\n'), at - 1) + 1;
    return lineStart > open ? lineStart : at;
}

} // namespace

bool PageTemplateLibrary::setPMainSfondoFw(const QString& pMainPath, const QString& value)
{
    QByteArray original;
    QString error;
    if (!readAll(pMainPath, &original, &error)) {
        qWarning().noquote() << "setPMainSfondoFw: cannot read" << pMainPath << "-" << error;
        return false;
    }
    QString text = QString::fromUtf8(original);
    const QString declaration = QStringLiteral("    <p n=\"PATH_IMAGE_SFONDO_FW\">") + value + QStringLiteral("</p>\n");
    if (value.isEmpty()) {
        text.remove(declarationLine());
    } else if (text.contains(declarationLine())) {
        // A literal replacement: the value may hold characters that a
        // replacement pattern would read as back-references.
        QString replaced;
        int from = 0;
        for (auto it = declarationLine().globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            replaced += QStringView(text).mid(from, m.capturedStart() - from);
            replaced += declaration;
            from = int(m.capturedEnd());
        }
        replaced += QStringView(text).mid(from);
        text = replaced;
    } else {
        const QRegularExpressionMatch picture = pictureLine().match(text);
        const int at = picture.hasMatch() ? int(picture.capturedEnd(1)) : insertionPoint(text, pMainPath);
        if (at < 0)
            return false;
        text.insert(at, declaration);
    }
    const QByteArray bytes = text.toUtf8();
    if (bytes == original)
        return true;
    if (!writeFileBytes(pMainPath, bytes, &error)) {
        qWarning().noquote() << "setPMainSfondoFw: cannot write" << pMainPath << "-" << error;
        return false;
    }
    return true;
}

bool PageTemplateLibrary::patchPMainSfondoFwPlaceholder(const QString& pMainPath)
{
    QByteArray bytes;
    QString error;
    if (!readAll(pMainPath, &bytes, &error)) {
        qDebug().noquote() << "patchPMainSfondoFwPlaceholder: cannot read" << pMainPath << "-" << error;
        return false;
    }
    if (!bytes.contains("_222222.tgz"))
        return false;
    bytes.replace("_222222.tgz", "bkg.tgz");
    if (!writeFileBytes(pMainPath, bytes, &error)) {
        qDebug().noquote() << "patchPMainSfondoFwPlaceholder: cannot write" << pMainPath << "-" << error;
        return false;
    }
    return true;
}

int PageTemplateLibrary::patchPlaceholdersUnder(const QString& setFolder)
{
    const QDir set(setFolder);
    if (setFolder.isEmpty() || !set.exists())
        return 0;
    int changed = 0;
    for (const QString& name : set.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString pMain = set.filePath(name) + QStringLiteral("/pMain.P2.xml");
        // Nothing is read or written through a link (the user's own folder
        // may be behind it), nor from a pipe.
        if (!FolderCopy::linkOnPath(setFolder, pMain).isEmpty() || !FolderCopy::isRegularFile(pMain)) {
            if (QFileInfo(pMain).isSymLink() || QFileInfo(set.filePath(name)).isSymLink())
                qDebug().noquote() << "patchPlaceholdersUnder: left" << pMain << "as it is: a symbolic link is in the way";
            continue;
        }
        if (patchPMainSfondoFwPlaceholder(pMain))
            ++changed;
    }
    return changed;
}
