#include "model/FileEntries.h"
#include "model/FolderCopy.h"
#include "model/PathGuard.h"
#include "model/SafeRead.h"
#include "model/SafeWrite.h"
#include "support/FifoGuard.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QtTest>

#include <functional>
#include <memory>

// Files under an install root, the data folder or beside a configuration are
// opened, written, listed, renamed and removed by the model's file gate only
// (no link followed, reads bounded). This test reads the program's source
// outside the gate as text and fails on a call the list below does not
// allow, so a new caller cannot forget the rule. A call on a file the user
// chose, or on a temporary folder of our own, is listed with its reason.
//
// What it finds, outside comments, strings and preprocessor lines other
// than #define (a macro's body is read as code):
// - a QFile, QSaveFile or QTemporaryFile opened, removed, renamed, copied,
//   linked or resized: as an object, a pointer, a smart pointer or one made
//   with make_unique, make_shared or new, a temporary, or a chained receiver;
//   QFile's static calls whether called or taken as a function pointer;
// - QSaveFile made; QDir's remove, rmdir, rename, mkdir, mkpath and
//   removeRecursively; QDirIterator made (also by make_unique or new);
//   permissions changed; a file named later by setFileName; QLockFile;
// - pictures read or written by path (QImageReader, QImageWriter, QImage or
//   QPixmap made from a path, load and save) and icons made from a path;
// - QSettings on a path; QFontDatabase::addApplicationFont;
// - pugixml's load_file and save_file; minizip's unzOpen and zipOpen (every
//   form) and its own file functions (fill_..._filefunc: its fopen);
// - std::fstream and its kin (basic_, w, filebuf), fopen, freopen, _wfopen;
//   std::filesystem; POSIX and C library file calls; processes run;
// - QFile, QSaveFile, QTemporaryFile, QFileDevice, QDir, QDirIterator,
//   QLockFile, QSettings, QImageReader and QImageWriter named otherwise
//   (using, typedef, #define): the naming itself.
// What a text scan cannot see, and this test does not claim: a file object
// whose type shows nowhere in its file (a parameter of another type, auto
// from a function's result, a template argument), a pointer to a member
// function (&QFile::open) called later, macros defined outside the scanned
// folders or continued over lines, opens inside Qt or a library given
// something other than a path (a QUrl, a QIODevice), and what the programs
// the list allows do.
namespace {

const QStringList kGateFiles = {
    QStringLiteral("model/FolderCopy.cpp"),      QStringLiteral("model/FolderCopyPaths.cpp"),
    QStringLiteral("model/FolderCopyRemove.cpp"), QStringLiteral("model/FileEntries.cpp"),
    QStringLiteral("model/SafeWrite.cpp"),       QStringLiteral("model/SafeRead.cpp"),
    QStringLiteral("model/FolderKeep.cpp"),
};

const QStringList kSourceFolders = {
    QStringLiteral("app"),    QStringLiteral("artwork"), QStringLiteral("canvas"),    QStringLiteral("check"),
    QStringLiteral("dialogs"), QStringLiteral("editing"), QStringLiteral("gallery"),  QStringLiteral("model"),
    QStringLiteral("panels"), QStringLiteral("reports"), QStringLiteral("templates"), QStringLiteral("updates"),
    QStringLiteral("window"),
};

const char* const kOpenWrite = "QFile open for writing";
const char* const kOpenRead = "QFile open for reading";
const char* const kSaveFile = "QSaveFile";
const char* const kRemoveTree = "QDir::removeRecursively";
const char* const kDirRemove = "QDir remove/rmdir/rename";
const char* const kFileMove = "QFile remove/rename/copy";
const char* const kIterator = "QDirIterator";
const char* const kStream = "C or C++ file stream";
const char* const kZipOpen = "minizip archive opened by path";
const char* const kXmlFile = "XML document loaded or saved by path";
const char* const kFont = "font read by path";
const char* const kAlias = "file class under another name";
const char* const kSettings = "QSettings on a path";
const char* const kImageFile = "picture read or written by path";
const char* const kDirMake = "QDir mkdir/mkpath";
const char* const kPermissions = "permissions change";
const char* const kFilesystem = "std::filesystem";
const char* const kPosix = "POSIX file call";
const char* const kFileNamed = "file named by setFileName";
const char* const kLockFile = "QLockFile";
const char* const kProcess = "process run";
const char* const kIcon = "icon read by path";

struct Allowed {
    const char* file;
    const char* kind;
    int count;
    const char* reason;
};

// clang-format off
const Allowed kAllowed[] = {
    // A file the user chose in a dialog, or one we made ourselves.
    {"artwork/ArtworkFiles.cpp", kOpenRead, 1, "copyFileOver: reads the file a user's export or backup holds"},
    {"artwork/ArtworkFiles.cpp", kSaveFile, 1, "copyFileOver into the user's chosen export and backup folders"},
    {"artwork/ArtworkFiles.cpp", kOpenWrite, 1, "copyFileOver into a folder it has just made (export, backup)"},
    {"canvas/DashCanvasMaskDrawing.cpp", kOpenWrite, 1, "the developer's draw trace in the temporary folder"},
    {"canvas/CsvDataSource.cpp", kOpenRead, 1, "the telemetry CSV the user chose in a dialog"},
    {"gallery/ScratchZip.cpp", kOpenWrite, 1, "a scratch archive of our own in the temporary folder"},
    {"gallery/ScratchZip.cpp", kFileMove, 1, "removes its own scratch archive"},
    {"gallery/ThemePackage.cpp", kOpenRead, 1, "a theme package the user opened"},
    {"gallery/ThemePackage.cpp", kIterator, 2, "the unpacked theme in a temporary folder of our own"},
    {"gallery/ConfigFilesPlacement.cpp", kOpenRead, 1, "the bundle's file staged in a temporary folder of our own"},
    {"gallery/ConfigFilesPlacement.cpp", kOpenWrite, 1, "a staged file created new beside the placed one"},
    {"gallery/ConfigFilesPlacement.cpp", kFileMove, 6, "its own staged and set-aside files in the user's folder"},
    {"model/DashConfigLoad.cpp", kIterator, 1, "the configuration's own extraction folder"},
    {"model/DashConfigArchive.cpp", kIterator, 1, "the configuration's own extraction folder"},
    {"model/DashConfigArchive.cpp", kOpenRead, 4, "the configuration file the user opened, and its extraction folder"},
    {"model/DashConfigArchive.cpp", kFileMove, 5, "the .tmp and .bak beside the configuration the user saves"},
    {"model/DashConfigConfigName.cpp", kOpenRead, 1, "the .aimcfg and build files of the configuration's own "
                                                     "extraction folder, to carry a new name"},
    {"model/DashConfigConfigName.cpp", kIterator, 1, "the configuration's own extraction folder"},
    {"model/DashConfigChannels.cpp", kIterator, 1, "the configuration's own extraction folder"},
    {"model/DashConfigSave.cpp", kOpenRead, 1, "a device file of the configuration's own extraction folder, "
                                               "compared with what is to be written"},
    {"model/DashConfigSidecars.cpp", kFileMove, 3, "sidecars beside the configuration the user saves"},
    {"model/SidecarCarry.cpp", kOpenWrite, 1, "a sidecar copied beside the configuration the user saves as"},
    {"model/SidecarCarry.cpp", kPermissions, 1, "the staged copy it has just made takes the mode of the sidecar"},
    {"model/ZipArchive.cpp", kOpenRead, 1, "an archive the user opened"},
    {"model/ZipArchive.cpp", kOpenWrite, 1, "the archive the user saves, through its .tmp"},
    {"model/ZipArchive.cpp", kFileMove, 1, "archiveRename: the .tmp of the archive the user saves"},
    {"model/ZipStreamWriter.cpp", kOpenWrite, 1, "the archive the user saves, through its .tmp"},
    {"model/FolderNames.cpp", kIterator, 1, "names of one folder, never entered (no file opened)"},
    {"model/InstallRoots.cpp", kIterator, 1, "names of an install folder for a look-up, no file opened"},
    {"panels/IconPreviewDialog.cpp", kIterator, 1, "lists icon folders to show; opens nothing"},
    {"reports/DebugReportListings.cpp", kIterator, 1, "lists names for the debug report the user sends"},
    {"reports/DebugReport.cpp", kOpenRead, 2, "the report archive of our own and the file the user attaches"},
    {"reports/DebugReport.cpp", kFileMove, 1, "the report archive of our own"},
    {"updates/PendingUpdate.cpp", kFileMove, 2, "the program's own executable and its backup"},
    {"updates/UpdateDownloadDialog.cpp", kFileMove, 6, "the downloaded update beside the program"},
    {"updates/UpdateDownloadDialog.cpp", kOpenWrite, 1, "the downloaded update beside the program"},
    {"updates/UpdateSeams.cpp", kFileMove, 1, "the program's own executable swap"},
    {"model/SettingsFile.cpp", kOpenWrite, 1, "a probe of our own in the settings folder, removed at once"},
    // Pictures the user chose in a dialog, or the program's own.
    {"artwork/DashConfigArtworkReplace.cpp", kImageFile, 2, "mask.png of the folder the user chose to import"},
    {"artwork/DashConfigPageBackground.cpp", kImageFile, 1, "the picture the user chose as the page background"},
    {"dialogs/NewHomebrewThemeDialog.cpp", kImageFile, 1, "the picture the user chose in a dialog"},
    {"window/MainWindowEditActions.cpp", kImageFile, 1, "the picture the user chose as the page background"},
    {"canvas/DashCanvasRender.cpp", kImageFile, 1, "label layers into a temporary folder of our own"},
    {"canvas/DashCanvasRender.cpp", kDirMake, 1, "a temporary folder of our own for the label layers"},
    // Folders of the user's choice, of our own, or checked for links first.
    {"artwork/DashConfigArtworkExport.cpp", kDirMake, 1, "the folder the user chose for the export (a link named)"},
    {"model/SettingsFile.cpp", kDirMake, 1, "the settings file's folder, before its probe of our own"},
    {"gallery/ConfigBundleInstall.cpp", kDirMake, 1, "after whyLeft ruled out a link from the install root, "
                                                     "and the backup folder of our own"},
    {"gallery/ConfigFilesPlacement.cpp", kDirMake, 1, "a bundle's configuration folder, followed where the user "
                                                      "keeps it through a link"},
    {"model/DashConfigSave.cpp", kDirMake, 1, "a folder of the configuration's own extraction folder"},
    {"model/ZipArchive.cpp", kDirMake, 2, "folders of an extraction folder of our own"},
    // Modes of files the program has just written or is about to replace.
    {"artwork/ArtworkFiles.cpp", kPermissions, 1, "makeOwnerWritable: a regular file only, never through a link"},
    {"artwork/DashConfigBarColor.cpp", kPermissions, 1, "files the colouring has just copied, links skipped"},
    {"model/DashConfigArchive.cpp", kPermissions, 1, "the .tmp of the configuration the user saves takes its mode"},
    {"model/DashConfigConfigName.cpp", kPermissions, 1, "a file of the configuration's own extraction folder"},
    {"model/DashConfigSave.cpp", kPermissions, 1, "a preview of the configuration's own extraction folder"},
    {"updates/UpdateDownloadDialog.cpp", kPermissions, 1, "the downloaded update beside the program"},
    // Calls below Qt that keep to the gate's rule themselves.
    {"model/ZipArchive.cpp", kFilesystem, 5, "renameOverFile: a finished .tmp renamed over the file the user saves "
                                             "(a replacing rename on Windows too)"},
        {"artwork/ArtClaimLock.cpp", kPosix, 1, "the saved configurations' list lock, O_NOFOLLOW | O_NONBLOCK"},
    {"model/ZipFileFunctions.cpp", kStream, 2, "minizip's reads, writes and seeks on a stream the gate opened; its "
                                               "fopen is replaced by the gate's open"},
    {"model/ZipWriter.cpp", kZipOpen, 2, "openZipForWrite: through ZipFileFunctions, and on Windows its own "
                                         "wide-character functions"},
    {"model/ZipWriter.cpp", kStream, 1, "the wide-character file functions on Windows"},
    {"model/ZipArchive.cpp", kZipOpen, 2, "openZipForRead: through ZipFileFunctions, and on Windows its own "
                                          "wide-character functions"},
    {"model/ZipArchive.cpp", kStream, 1, "the wide-character file functions on Windows"},
    {"panels/StockMaskCache.cpp", kPosix, 1, "an item folder opened as a folder only (O_DIRECTORY) to list it"},
    // Lock files of the editors, in the data folder.
    {"model/ExtractFolders.cpp", kLockFile, 1, "the lock of an extraction folder of our own, beside it"},
    {"artwork/ArtClaimLock.cpp", kLockFile, 1, "the saved configurations' list lock where there is no flock"},
    {"gallery/UnfinishedInstall.cpp", kLockFile, 2, "a bundle install's own note lock in the data folder, and an "
                                                     "ended install's, probed before its note is read"},
    // Other programs run, with what they are given.
    {"gallery/RaceStudio3Check.cpp", kProcess, 1, "tasklist, asked whether RaceStudio 3 runs; no file named"},
    {"updates/UpdateSeams.cpp", kProcess, 1, "the program's own executable started again after an update"},
    {"window/MainWindowGallery.cpp", kProcess, 1, "explorer.exe shows a file in its folder; nothing written"},
    {"window/MainWindowInvisibleChrome.cpp", kProcess, 2, "python --version, and the chrome generator reading the "
                                                          "configuration the user saved and writing the "
                                                          "\"_invisible_chrome\" copy beside it, once confirmed"},
    // The dashtheme:// scheme's record.
    {"gallery/UrlSchemeRegistry.cpp", kSettings, 3, "the scheme's registry key on Windows, dashtheme.ini in the "
                                                    "user's settings folder, and an INI file a test names"},
};
// clang-format on

struct Found {
    int line;
    QString text;
};
using Findings = QMap<QPair<QString, QString>, QList<Found>>;

// The source with comments, string and character literals and preprocessor
// lines blanked (line breaks kept), so a call in a comment counts for
// nothing and the line numbers stay.
QString codeOnly(const QString& source)
{
    static const QRegularExpression define(QStringLiteral("#\\s*define\\b"));
    QString out = source;
    enum { Code, Line, Block, String, Char } state = Code;
    bool lineStart = true;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out.at(i);
        const QChar next = i + 1 < out.size() ? out.at(i + 1) : QChar();
        const bool newline = c == QLatin1Char('\n');
        switch (state) {
        case Code:
            // A macro's body is code: what it wraps is read where it stands.
            if (lineStart && c == QLatin1Char('#')
                && !define.match(out, i, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption)
                        .hasMatch())
                state = Line;
            else if (c == QLatin1Char('/') && next == QLatin1Char('/'))
                state = Line;
            else if (c == QLatin1Char('/') && next == QLatin1Char('*'))
                state = Block;
            else if (c == QLatin1Char('"') && i > 0 && out.at(i - 1) == QLatin1Char('R')) {
                // A raw string: blanked up to its closing delimiter.
                const qsizetype open = out.indexOf(QLatin1Char('('), i);
                const QString close = QLatin1Char(')') + out.mid(i + 1, open - i - 1) + QLatin1Char('"');
                const qsizetype end = open < 0 ? -1 : out.indexOf(close, open);
                const qsizetype stop = end < 0 ? out.size() : end + close.size();
                for (qsizetype k = i + 1; k < stop - 1; ++k) {
                    if (out.at(k) != QLatin1Char('\n'))
                        out[k] = QLatin1Char(' ');
                }
                i = stop - 1;
                continue;
            } else if (c == QLatin1Char('"'))
                state = String;
            else if (c == QLatin1Char('\'') && !(i > 0 && out.at(i - 1).isDigit())) // 1'000 is a number
                state = Char;
            break;
        case Line:
            if (newline)
                state = Code;
            break;
        case Block:
            if (c == QLatin1Char('*') && next == QLatin1Char('/')) {
                out[i] = out[i + 1] = QLatin1Char(' ');
                ++i;
                state = Code;
                continue;
            }
            break;
        case String:
        case Char:
            if (c == QLatin1Char('\\')) {
                out[i] = QLatin1Char(' ');
                if (i + 1 < out.size() && out.at(i + 1) != QLatin1Char('\n'))
                    out[++i] = QLatin1Char(' ');
                continue;
            }
            if (c == QLatin1Char(state == String ? '"' : '\'')) {
                state = Code;
                continue;
            }
            break;
        }
        if (state != Code && !newline && !(state == String && c == QLatin1Char('"')))
            out[i] = QLatin1Char(' ');
        if (!c.isSpace())
            lineStart = false;
        if (newline)
            lineStart = true;
    }
    return out;
}

// Names declared of one of the types: an object, a pointer or reference, a
// smart pointer, and a name given a new object ("auto f =
// std::make_unique<QFile>(p)", "f = new QFile(p)").
QSet<QString> declared(const QString& code, const QString& types)
{
    QSet<QString> names;
    const QRegularExpression declaration(
        QStringLiteral("\\b(?:%1)\\b\\s*>?\\s*[*&]?\\s*(\\w+)\\s*[({;=,)]").arg(types));
    const QRegularExpression made(
        QStringLiteral("(\\w+)\\s*=\\s*(?:std::make_(?:unique|shared)\\s*<\\s*|new\\s+)(?:%1)\\b").arg(types));
    for (const QRegularExpression* pattern : {&declaration, &made}) {
        for (auto it = pattern->globalMatch(code); it.hasNext();)
            names.insert(it.next().captured(1));
    }
    return names;
}

// The receiver a member call at `at` (the "." or "->" before the name) is
// made on: the expression back to where it starts, over calls, indexes and
// chained members ("QFileInfo(p).dir()", "m_files[i]", "x->file").
QString receiverBefore(const QString& code, qsizetype at)
{
    qsizetype i = at;
    for (;;) {
        while (i > 0 && code.at(i - 1).isSpace())
            --i;
        if (i > 0 && (code.at(i - 1) == QLatin1Char(')') || code.at(i - 1) == QLatin1Char(']'))) {
            const QChar close = code.at(i - 1);
            const QChar open = close == QLatin1Char(')') ? QLatin1Char('(') : QLatin1Char('[');
            int depth = 0;
            while (i > 0) {
                const QChar c = code.at(--i);
                if (c == close)
                    ++depth;
                else if (c == open && --depth == 0)
                    break;
            }
            continue;
        }
        const qsizetype end = i;
        while (i > 0 && (code.at(i - 1).isLetterOrNumber() || code.at(i - 1) == QLatin1Char('_')))
            --i;
        if (i == end)
            break;
        qsizetype j = i;
        while (j > 0 && code.at(j - 1).isSpace())
            --j;
        if (j > 1 && (code.mid(j - 2, 2) == QLatin1String("->") || code.mid(j - 2, 2) == QLatin1String("::")))
            i = j - 2;
        else if (j > 0 && code.at(j - 1) == QLatin1Char('.'))
            i = j - 1;
        else if (j > 0 && code.at(j - 1) == QLatin1Char('>') && code.lastIndexOf(QLatin1Char('<'), j - 1) >= 0)
            i = code.lastIndexOf(QLatin1Char('<'), j - 1); // std::make_unique<QFile>(p)
        else
            break;
    }
    return code.mid(i, at - i).simplified();
}

// The first identifier of a receiver ("m_file" of "m_file->x()").
QString baseName(const QString& receiver)
{
    static const QRegularExpression word(QStringLiteral("^\\w+"));
    return word.match(receiver).captured(0);
}

// The first argument of the call whose "(" is at `open`, up to a top-level
// comma or the closing parenthesis; `count` gets the number of arguments.
QString firstArgument(const QString& code, qsizetype open, int* count = nullptr)
{
    int depth = 0;
    qsizetype firstEnd = -1;
    int args = 1;
    qsizetype i = open;
    for (; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == QLatin1Char('(') || c == QLatin1Char('[') || c == QLatin1Char('{'))
            ++depth;
        else if (c == QLatin1Char(')') || c == QLatin1Char(']') || c == QLatin1Char('}')) {
            if (--depth == 0)
                break;
        } else if (c == QLatin1Char(',') && depth == 1) {
            ++args;
            if (firstEnd < 0)
                firstEnd = i;
        } else if (c == QLatin1Char(';'))
            break;
    }
    if (firstEnd < 0)
        firstEnd = i;
    const QString first = code.mid(open + 1, firstEnd - open - 1).trimmed();
    if (count)
        *count = first.isEmpty() ? 0 : args;
    return first;
}

// The arguments of the call whose "(" or "{" is at `open`, split at its
// top-level commas; empty for none.
QStringList argumentsOf(const QString& code, qsizetype open)
{
    QStringList out;
    int depth = 0;
    qsizetype start = open + 1;
    for (qsizetype i = open; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == QLatin1Char('(') || c == QLatin1Char('[') || c == QLatin1Char('{'))
            ++depth;
        else if (c == QLatin1Char(')') || c == QLatin1Char(']') || c == QLatin1Char('}')) {
            if (--depth == 0) {
                out << code.mid(start, i - start).trimmed();
                break;
            }
        } else if (c == QLatin1Char(',') && depth == 1) {
            out << code.mid(start, i - start).trimmed();
            start = i + 1;
        } else if (c == QLatin1Char(';'))
            break;
    }
    if (out.size() == 1 && out.first().isEmpty())
        out.clear();
    return out;
}

// A parameter of a function declared ("const QString& path"), not a value.
bool isParameter(const QString& argument)
{
    static const QRegularExpression parameter(QStringLiteral("^(?:const\\s+)?[\\w:<>]+(?:\\s*[&*]+\\s*|\\s+)\\w+$"));
    return parameter.match(argument).hasMatch();
}

// A size handed over ("size", "m_iconSize", "rect().size()", "QSize(4, 4)"):
// the last name of the argument is one, not merely holds the word
// ("sizeFile" is a name of something else).
bool isSize(const QString& argument)
{
    static const QRegularExpression size(QStringLiteral("(?:^|\\W)(?:\\w*[sS]ize|QSize\\w*)\\s*(?:\\([^()]*\\))?$"));
    return argument.startsWith(QLatin1String("QSize")) || size.match(argument).hasMatch();
}

// True when what comes before `at` leaves room for a call only: the start
// of a statement or an expression, never a type (a function declared).
bool startsACall(const QString& code, qsizetype at)
{
    qsizetype i = at;
    while (i > 0 && code.at(i - 1).isSpace())
        --i;
    if (i == 0 || QStringLiteral(";{}()=,!&|?+-").contains(code.at(i - 1)))
        return i == 0 || code.mid(i - 2, 2) != QLatin1String("->");
    static const QRegularExpression keyword(QStringLiteral("\\b(?:return|else|do)$"));
    return keyword.match(code.left(i)).hasMatch();
}

// Text written out ("...", QStringLiteral("...")), blanked as the scan sees it.
const QRegularExpression literal(QStringLiteral(
    "^(?:(?:QStringLiteral|QLatin1String|QLatin1StringView|QString)\\s*\\(\\s*)?\"[^\"]*\"\\s*\\)?$"));

// Every file-system call of one source file, by kind.
void scan(const QString& rel, const QString& source, Findings* findings)
{
    const QString code = codeOnly(source);
    const auto add = [&](const char* kind, qsizetype at) {
        const int line = int(code.left(at).count(QLatin1Char('\n'))) + 1;
        (*findings)[{rel, QString::fromLatin1(kind)}].append({line, source.section(QLatin1Char('\n'), line - 1, line - 1).trimmed()});
    };
    const QSet<QString> files = declared(code, QStringLiteral("QFile|QSaveFile|QTemporaryFile"));
    const QSet<QString> temporaries = declared(code, QStringLiteral("QTemporaryFile"));
    const QSet<QString> dirs = declared(code, QStringLiteral("QDir"));
    const QSet<QString> buffers = declared(code, QStringLiteral("QBuffer|QIODevice"));
    const QSet<QString> images = declared(code, QStringLiteral("QImage|QPixmap"));
    const QSet<QString> documents = declared(code, QStringLiteral("pugi::xml_document|xml_document"));
    // A device handed over ("&buffer", a QBuffer or QIODevice), not a path.
    const auto isDevice = [&](const QString& argument) {
        return argument.startsWith(QLatin1Char('&')) || buffers.contains(baseName(argument))
            || argument.contains(QLatin1String("QBuffer"));
    };
    // A string literal naming a compiled-in resource (":/...") is no file.
    const auto isResource = [&](const QString& argument, qsizetype at) {
        const qsizetype quote = code.indexOf(QLatin1Char('"'), at);
        return argument.startsWith(QLatin1Char('"')) && quote >= 0 && quote + 1 < source.size()
            && source.at(quote + 1) == QLatin1Char(':');
    };

    static const QRegularExpression open(QStringLiteral("(?:\\.|->)\\s*open\\s*\\(([^;]*)"));
    static const QRegularExpression writing(QStringLiteral("WriteOnly|ReadWrite|Append|Truncate|NewOnly"));
    for (auto it = open.globalMatch(code); it.hasNext();) {
        const auto m = it.next();
        const QString receiver = receiverBefore(code, m.capturedStart());
        const QString args = m.captured(1);
        if (buffers.contains(baseName(receiver)) || receiver.contains(QLatin1String("QBuffer")))
            continue;
        const bool isFile = files.contains(baseName(receiver)) || receiver.contains(QLatin1String("QFile"));
        const bool flagged = args.contains(QLatin1String("QIODevice::")) || args.contains(QLatin1String("QFile::"))
            || args.contains(QLatin1String("Mode"));
        if (temporaries.contains(baseName(receiver)) || receiver.contains(QLatin1String("QTemporaryFile"))
            || (flagged && writing.match(args).hasMatch()))
            add(kOpenWrite, m.capturedStart());
        else if (flagged || isFile)
            add(kOpenRead, m.capturedStart());
    }
    static const QRegularExpression member(
        QStringLiteral("(?:\\.|->)\\s*(remove|rmdir|rmpath|rename|copy|mkdir|mkpath|setPermissions|resize|link)\\s*\\("));
    static const QRegularExpression dirReceiver(QStringLiteral("^QDir\\b|(?:\\bdir|Dir)\\s*\\(\\s*\\)$"));
    for (auto it = member.globalMatch(code); it.hasNext();) {
        const auto m = it.next();
        const QString receiver = receiverBefore(code, m.capturedStart());
        const QString verb = m.captured(1);
        const bool dir = dirReceiver.match(receiver).hasMatch() || dirs.contains(receiver);
        const bool file = files.contains(baseName(receiver)) || receiver.startsWith(QLatin1String("QFile"))
            || receiver.startsWith(QLatin1String("QSaveFile")) || receiver.contains(QLatin1String("QTemporaryFile"));
        if (verb == QLatin1String("resize") || verb == QLatin1String("link")) {
            if (file)
                add(kFileMove, m.capturedStart());
        } else if (verb == QLatin1String("setPermissions"))
            add(kPermissions, m.capturedStart());
        else if (verb == QLatin1String("mkdir") || verb == QLatin1String("mkpath"))
            add(kDirMake, m.capturedStart());
        else if (dir || ((verb == QLatin1String("rmdir") || verb == QLatin1String("rmpath")) && !file))
            add(kDirRemove, m.capturedStart());
        else if (file)
            add(kFileMove, m.capturedStart());
    }
    // Pictures read or written by path: a reader or writer made on a path,
    // an image made from one, and load or save on an image.
    static const QRegularExpression imageIo(QStringLiteral("\\bQImage(?:Reader|Writer)\\b\\s*>?\\s*(?:\\w+\\s*)?[({]"));
    for (auto it = imageIo.globalMatch(code); it.hasNext();) {
        const auto m = it.next();
        const QString first = firstArgument(code, m.capturedEnd() - 1);
        if (!first.isEmpty() && !isDevice(first))
            add(kImageFile, m.capturedStart());
    }
    static const QRegularExpression imageMade(QStringLiteral("\\bQ(?:Image|Pixmap)\\b\\s*(?:\\w+\\s*)?[({]"));
    for (auto it = imageMade.globalMatch(code); it.hasNext();) {
        const auto m = it.next();
        int count = 0;
        const QString first = firstArgument(code, m.capturedEnd() - 1, &count);
        // One argument that is text (a path), or a path and a format; not a
        // parameter list ("const QString& path", a function declared), a
        // size, a copy, a resource or a type ("std::function<QImage(int)>").
        const QString second = code.mid(m.capturedEnd()).section(QLatin1Char(','), 1, 1).trimmed();
        const bool pathArguments = count == 1 || (count == 2 && second.startsWith(QLatin1Char('"')));
        const bool other = isParameter(first) || isSize(first) || images.contains(first)
            || first.startsWith(QLatin1String("QImage")) || first.contains(QLatin1String("toImage"))
            || isResource(first, m.capturedEnd())
            || (m.capturedStart() > 0 && code.at(m.capturedStart() - 1) == QLatin1Char('<'));
        const bool path = pathArguments && !other;
        if (path && !first.isEmpty())
            add(kImageFile, m.capturedStart());
    }
    // An icon made from one argument that is not a picture in memory nor a
    // resource reads the file it names.
    static const QRegularExpression iconMade(QStringLiteral("\\bQIcon\\b\\s*(?:\\w+\\s*)?[({]"));
    static const QRegularExpression pathLike(QStringLiteral("path|file|folder|dir|name|\\+"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression pictureLike(QStringLiteral("pixmap|image|thumbnail|icon|swatch|scaled\\s*\\("),
                                                QRegularExpression::CaseInsensitiveOption);
    for (auto it = iconMade.globalMatch(code); it.hasNext();) {
        const auto m = it.next();
        int count = 0;
        const QString first = firstArgument(code, m.capturedEnd() - 1, &count);
        if (count == 0 || isParameter(first) || first.startsWith(QLatin1String("new "))
            || isResource(first, m.capturedEnd()) || images.contains(first))
            continue;
        if (pathLike.match(first).hasMatch() || !pictureLike.match(first).hasMatch())
            add(kIcon, m.capturedStart());
    }
    // QSettings made with arguments keeps a file: only the program's own
    // (an organisation and an application, both written out as text, a form
    // no path-and-format call can take) is left to the settings home.
    static const QRegularExpression settingsMade(QStringLiteral("\\bQSettings\\b\\s*>?\\s*(?:\\w+\\s*)?[({]"));
    for (auto it = settingsMade.globalMatch(code); it.hasNext();) {
        const auto m = it.next();
        const QStringList args = argumentsOf(code, m.capturedEnd() - 1);
        static const QRegularExpression owner(QStringLiteral("^(?:this|parent|nullptr)$"));
        if (args.isEmpty() || isParameter(args.first()) || (args.size() == 1 && owner.match(args.first()).hasMatch()))
            continue;
        const bool own = args.size() <= 2 && std::all_of(args.cbegin(), args.cend(), [](const QString& arg) {
                             return literal.match(arg).hasMatch();
                         });
        if (!own)
            add(kSettings, m.capturedStart());
    }
    static const QRegularExpression imageCall(QStringLiteral("(?:\\.|->)\\s*(load|save)\\s*\\("));
    for (auto it = imageCall.globalMatch(code); it.hasNext();) {
        const auto m = it.next();
        const QString receiver = receiverBefore(code, m.capturedStart());
        int count = 0;
        const QString first = firstArgument(code, m.capturedEnd() - 1, &count);
        const QString second = code.mid(m.capturedEnd()).section(QLatin1Char(','), 1, 1).trimmed();
        const bool image = images.contains(baseName(receiver)) || receiver.contains(QLatin1String("QImage"))
            || receiver.contains(QLatin1String("QPixmap")) || receiver.contains(QLatin1String("toImage"))
            || (m.captured(1) == QLatin1String("save") && second.startsWith(QLatin1Char('"'))
                && !documents.contains(baseName(receiver)));
        if (image && count > 0 && !isDevice(first))
            add(kImageFile, m.capturedStart());
    }
    static const QList<QPair<QRegularExpression, const char*>> plain = {
        {QRegularExpression(QStringLiteral("\\bQSaveFile\\s+\\w+\\s*[({;]|\\bQSaveFile\\s*[>(]")), kSaveFile},
        {QRegularExpression(QStringLiteral("(?:\\.|->)\\s*removeRecursively\\s*\\(")), kRemoveTree},
        // Called, or taken as a function pointer.
        {QRegularExpression(QStringLiteral("\\bQ(?:Temporary)?File::(remove|rename|copy|link|moveToTrash|resize)\\b")),
         kFileMove},
        // Any reader, writer, file or lock given its file after it was made.
        {QRegularExpression(QStringLiteral("(?:\\.|->)\\s*setFileName\\s*\\(")), kFileNamed},
        {QRegularExpression(QStringLiteral("\\bQLockFile\\s*>\\s*\\(|\\bQLockFile\\s+\\w+\\s*[({]|\\bQLockFile\\s*[({]")),
         kLockFile},
        // What another program does to files cannot be read here: each run
        // is listed with what it runs.
        {QRegularExpression(QStringLiteral("\\bQProcess::(?:execute|startDetached)\\s*\\(|\\bQProcess\\s+\\w+\\s*[;({]|"
                                           "\\bQProcess\\s*>\\s*\\(|\\bnew\\s+QProcess\\b")),
         kProcess},
        {QRegularExpression(QStringLiteral("\\bQ(?:File|FileDevice|SaveFile|TemporaryFile)::setPermissions\\b")),
         kPermissions},
        {QRegularExpression(QStringLiteral("\\bQDirIterator\\s+\\w+\\s*[({]|\\bQDirIterator\\s*>?\\s*[({]|"
                                           "\\bnew\\s+QDirIterator\\b")),
         kIterator},
        // The C and C++ libraries' streams, and minizip's own file
        // functions (its fopen, or Windows' CreateFile).
        {QRegularExpression(QStringLiteral("\\bstd::(?:basic_|w)?(?:[io]?fstream|filebuf)\\b|"
                                           "\\b(?:fopen|fopen64|freopen|_wfopen|_wfreopen)\\s*\\(|"
                                           "\\bfill_\\w*filefunc\\w*\\s*\\(")),
         kStream},
        {QRegularExpression(QStringLiteral("\\b(?:unzOpen|zipOpen)(?:64|2|2_64|3|3_64)?\\s*\\(")), kZipOpen},
        {QRegularExpression(QStringLiteral("(?:\\.|->)\\s*(?:load_file|save_file)\\s*\\(")), kXmlFile},
        {QRegularExpression(QStringLiteral("\\bQFontDatabase::addApplicationFont\\b")), kFont},
        // A file class named otherwise hides every call made through the
        // new name: the naming itself is listed.
        {QRegularExpression(QStringLiteral(
             "(?:\\busing\\s+\\w+\\s*=|\\btypedef\\b|#\\s*define\\s+\\w+(?:\\([^)\\n]*\\))?)[^;\\n]*"
             "\\bQ(?:File|SaveFile|TemporaryFile|FileDevice|Dir|DirIterator|LockFile|ImageReader|ImageWriter|"
             "Settings)\\b")),
         kAlias},
        {QRegularExpression(QStringLiteral("\\bstd::(?:experimental::)?filesystem\\b")), kFilesystem},
        {QRegularExpression(QStringLiteral(
             "(?<![\\w.>:])::\\s*(?:open|openat|creat|rename|renameat|unlink|unlinkat|remove|mkdir|mkdirat|rmdir|"
             "symlink|symlinkat|link|linkat|chmod|fchmodat|truncate|mkfifo|mknod)\\s*\\(|"
             "(?<![\\w.>:~])(?:unlink|unlinkat|renameat|openat|mkfifo|symlink|creat|mkdirat|linkat|fchmodat|ftruncate)\\s*\\(")),
         kPosix},
    };
    for (const auto& [pattern, kind] : plain) {
        for (auto it = pattern.globalMatch(code); it.hasNext();)
            add(kind, it.next().capturedStart());
    }
    // The C library's common names, called where a call starts (not as a
    // member, nor a function declared) with the C library's arguments: a
    // member of the same name (QFile's remove(), QIODevice's open(mode))
    // takes fewer.
    static const QRegularExpression cName(
        QStringLiteral("(?<![\\w.>:~])(?:std::)?(rename|open|remove|truncate|system|popen|execv|execvp|execl|"
                       "execlp|posix_spawn)\\s*\\("));
    static const QMap<QString, int> fewest{{"rename", 2}, {"open", 2}, {"remove", 1}, {"truncate", 2}};
    for (auto it = cName.globalMatch(code); it.hasNext();) {
        const auto m = it.next();
        const QString name = m.captured(1);
        const int args = int(argumentsOf(code, m.capturedEnd() - 1).size());
        if (!startsACall(code, m.capturedStart()) || args < fewest.value(name, 1)
            || (name == QLatin1String("remove") && args != 1) || isParameter(argumentsOf(code, m.capturedEnd() - 1).value(0)))
            continue;
        add(fewest.contains(name) ? kPosix : kProcess, m.capturedStart());
    }
}

Findings scanTree(const QString& root)
{
    Findings findings;
    for (const QString& folder : kSourceFolders) {
        QDirIterator it(root + QLatin1Char('/') + folder, {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString rel = path.mid(root.size() + 1);
            if (kGateFiles.contains(rel))
                continue;
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                qFatal("scanTree: cannot read %s", qPrintable(path));
            scan(rel, QString::fromUtf8(file.readAll()), &findings);
        }
    }
    return findings;
}

QPair<QString, QString> keyOf(const Allowed& entry)
{
    return {QString::fromLatin1(entry.file), QString::fromLatin1(entry.kind)};
}

// What the findings break of the list, one line each; empty when nothing.
QStringList breaches(const Findings& findings)
{
    QMap<QPair<QString, QString>, const Allowed*> allowed;
    for (const Allowed& entry : kAllowed)
        allowed.insert(keyOf(entry), &entry);
    QStringList out;
    for (auto it = findings.cbegin(); it != findings.cend(); ++it) {
        const Allowed* entry = allowed.value(it.key());
        if (entry && it->size() <= entry->count)
            continue;
        for (const Found& found : *it)
            out << QStringLiteral("%1:%2: %3 outside the file gate (%4 allowed): %5")
                       .arg(it.key().first, QString::number(found.line), it.key().second,
                            QString::number(entry ? entry->count : 0), found.text);
    }
    // An entry that allows more than is there would let a new call in
    // unseen: it shrinks with its file.
    for (const Allowed& entry : kAllowed) {
        const int there = int(findings.value(keyOf(entry)).size());
        if (there < entry.count)
            out << QStringLiteral("%1: the list allows %2 %3 calls, there are %4: shrink it")
                       .arg(keyOf(entry).first, QString::number(entry.count), keyOf(entry).second,
                            QString::number(there));
    }
    return out;
}

QString sourceRoot()
{
    return qEnvironmentVariable("KORV_SOURCE_DIR");
}

} // namespace

class FileGateTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The program's source holds no file-system call outside the gate that
    // the list does not name.
    void sourceKeepsToTheGate()
    {
        QVERIFY2(QFileInfo(sourceRoot() + QStringLiteral("/model/FolderCopy.h")).isFile(), "KORV_SOURCE_DIR");
        const QStringList out = breaches(scanTree(sourceRoot()));
        for (const QString& line : out)
            qWarning().noquote() << line;
        QVERIFY2(out.isEmpty(), "calls outside the file gate, listed above");
    }

    // Each kind of call the scan looks for is found where it hides in real
    // code, and none in a comment or a string.
    void scanFindsEachKind_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("count");
        QTest::newRow("open to write") << "QFile f(p);\nif (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {}"
                                       << kOpenWrite << 1;
        QTest::newRow("member open") << "m_file->open(QIODevice::Append);" << kOpenWrite << 1;
        QTest::newRow("temporary file") << "QTemporaryFile t(p + \".XXXXXX\");\nt.open();" << kOpenWrite << 1;
        QTest::newRow("open to read") << "QFile f(p);\nf.open(QIODevice::ReadOnly);" << kOpenRead << 1;
        QTest::newRow("buffer") << "QBuffer b(&bytes);\nb.open(QIODevice::WriteOnly);" << kOpenWrite << 0;
        QTest::newRow("save file") << "QSaveFile out(target);" << kSaveFile << 1;
        QTest::newRow("remove tree") << "QDir(staging).removeRecursively();" << kRemoveTree << 1;
        QTest::newRow("dir rename") << "QDir parent(x);\nparent.rename(a, b);\nQDir().rmdir(f);" << kDirRemove << 2;
        QTest::newRow("file statics") << "QFile::remove(a); QFile::rename(a, b); QFile::copy(a, b);" << kFileMove << 3;
        QTest::newRow("file member") << "QFile out(p);\nout.remove();" << kFileMove << 1;
        QTest::newRow("hash remove") << "QHash<int, int> h;\nh.remove(1);\nname.remove(prefix);" << kFileMove << 0;
        QTest::newRow("iterator") << "QDirIterator it(folder, QDir::Files);" << kIterator << 1;
        QTest::newRow("streams") << "std::ifstream in(p);\nFILE* f = fopen(p, \"r\");" << kStream << 2;
        QTest::newRow("ini settings") << "QSettings s(path, QSettings::IniFormat);" << kSettings << 1;
        QTest::newRow("app settings") << "QSettings s(\"Tindrel AS\", \"Korvelanto\");\nQSettings().value(k);"
                                      << kSettings << 0;
        QTest::newRow("image reader on a path") << "QImageReader reader(path);\nQImageWriter w(folder + x);\n"
                                                   "auto r = std::make_unique<QImageReader>(path);" << kImageFile << 3;
        QTest::newRow("image reader on a device") << "QBuffer b(&bytes);\nQImageReader reader(&b, \"png\");\n"
                                                     "QImageReader r(&buffer);" << kImageFile << 0;
        QTest::newRow("image made from a path") << "const QImage a(path);\nQPixmap p = QPixmap(f + \"/x.png\");\n"
                                                   "QImage b = QImage(fi.absoluteFilePath());" << kImageFile << 3;
        QTest::newRow("image made otherwise") << "QImage a(size, QImage::Format_ARGB32);\nQImage b(4, 4, fmt);\n"
                                                 "QPixmap c(\":/icons/x.png\");\nstd::function<QImage(int)> f;\n"
                                                 "QImage render(const QString& path);\nQImage d(other.toImage());"
                                              << kImageFile << 0;
        QTest::newRow("image load and save") << "QImage i;\ni.load(path);\nlayers[m].save(path, \"PNG\");\n"
                                                "QImage(4, 4, f).save(path);" << kImageFile << 3;
        QTest::newRow("image to a device") << "QImage i;\ni.save(&buffer, \"PNG\");\npainter.save();\n"
                                              "pugi::xml_document doc;\ndoc.save(writer, \"\");\nconfig.load(path);"
                                           << kImageFile << 0;
        QTest::newRow("temporary file opened") << "QFile(p).open(QIODevice::ReadOnly);" << kOpenRead << 1;
        QTest::newRow("chained receiver opened") << "m_files.at(0)->open(QIODevice::WriteOnly);\n"
                                                    "std::make_unique<QFile>(p)->open(QIODevice::Append);"
                                                 << kOpenWrite << 2;
        QTest::newRow("device handed over") << "void f(QIODevice* d) { d->open(QIODevice::ReadOnly); }" << kOpenRead
                                            << 0;
        QTest::newRow("folders made") << "QDir().mkpath(p);\nQDir d(x);\nd.mkdir(n);\nm_dir.mkpath(p);" << kDirMake
                                      << 3;
        QTest::newRow("chained dir rename") << "QFileInfo(p).dir().rename(a, b);\nQFileInfo(p).absoluteDir().remove(n);"
                                            << kDirRemove << 2;
        QTest::newRow("std::filesystem") << "namespace fs = std::filesystem;\nstd::filesystem::remove(p);"
                                         << kFilesystem << 2;
        QTest::newRow("POSIX calls") << "::rename(a, b);\n::unlink(a);\nunlinkat(d, n, 0);\nstd::rename(a, b);\n"
                                        "if (::open(n, O_RDONLY) < 0) {}" << kPosix << 5;
        QTest::newRow("POSIX names elsewhere") << "file.rename(a);\nFileEntries::removeFile(p, &w);\nx.unlink();\n"
                                                  "bool rename(const QString& to);" << kPosix << 0;
        QTest::newRow("permissions") << "QFile::setPermissions(p, m);\nQFile f(p);\nf.setPermissions(m);\n"
                                        "QFileDevice::setPermissions(p, m);" << kPermissions << 3;
        QTest::newRow("save file made otherwise") << "auto s = std::make_unique<QSaveFile>(p);\nnew QSaveFile(p);"
                                                  << kSaveFile << 2;
        QTest::newRow("settings of the program") << "QSettings s(QStringLiteral(\"Tindrel AS\"), QStringLiteral(\"K\"));\n"
                                                    "const QSettings t(\"Org\", \"App\");\nQSettings u(this);\n"
                                                    "QSettings settingsFor(const QString& path);" << kSettings << 0;
        QTest::newRow("settings on a file") << "QSettings s(p, fmt);\nQSettings(org, app);\n"
                                               "std::make_unique<QSettings>(path, QSettings::IniFormat);\n"
                                               "new QSettings(QSettings::IniFormat, QSettings::UserScope, o, a);"
                                            << kSettings << 4;
        QTest::newRow("icons of pictures") << "QIcon(pixmap);\nQIcon(swatchPixmap(c));\nQIcon i(\":/x.png\");\n"
                                              "const QIcon e(new Engine(x));\nQIcon(page.background.scaled(s));\n"
                                              "value<QIcon>();" << kIcon << 0;
        QTest::newRow("icons of files") << "QIcon(p);\nQIcon icon(dir + x);\nQIcon{iconPath};" << kIcon << 3;
        QTest::newRow("sizes, not paths") << "QPixmap p(size);\nQPixmap q(m_iconSize);\nQImage r{rect().size()};"
                                          << kImageFile << 0;
        QTest::newRow("names holding size") << "QImage a(sizeFile);\nQPixmap b{folder + thumbSizeName};" << kImageFile
                                            << 2;
        QTest::newRow("C library names as members") << "name.truncate(3);\nlist.remove(x);\nm_file->open(m);\n"
                                                        "bool rename(const QString& to);\nstd::remove(b, e, v);"
                                                     << kPosix << 0;
        QTest::newRow("C library calls") << "rename(a, b);\nif (open(n, O_RDONLY) < 0) {}\nreturn remove(n);\n"
                                            "x = truncate(n, 0);\nstd::remove(n);" << kPosix << 5;
        QTest::newRow("file resized and linked") << "QFile::resize(p, 0);\nQFile f(p);\nf.resize(0);\n"
                                                    "f.link(q);\nv.resize(3);" << kFileMove << 3;
        QTest::newRow("processes") << "QProcess::execute(\"rm\", {p});\nQProcess run;\nsystem(c);\n"
                                      "state() != QProcess::NotRunning;" << kProcess << 3;
        QTest::newRow("font by path") << "QFontDatabase::addApplicationFont(path);\n"
                                         "QFontDatabase::addApplicationFontFromData(bytes);\n"
                                         "auto add = &QFontDatabase::addApplicationFont;" << kFont << 2;
        QTest::newRow("minizip opens") << "unzOpen(p);\nunzOpen2_64(p, &f);\nzipOpen64(p, 0);\n"
                                          "zipOpen2(p, 0, nullptr, &f);\nunzOpenCurrentFile(z);\n"
                                          "zipOpenNewFileInZip(z, n);" << kZipOpen << 4;
        QTest::newRow("minizip's fopen") << "fill_fopen64_filefunc(&f);\nfill_fopen_filefunc(&f);\n"
                                            "fill_win32_filefunc64W(&f);" << kStream << 3;
        QTest::newRow("more streams") << "std::freopen(p, \"w\", stdout);\nstd::basic_ofstream<char> out(p);\n"
                                         "std::wifstream w(p);\nstd::filebuf b;\nFILE* f = fdopen(fd, \"r\");"
                                      << kStream << 4;
        QTest::newRow("pugixml by path") << "doc.load_file(p);\nm_doc->save_file(p);\ndoc.load_buffer(b, n);"
                                         << kXmlFile << 2;
        QTest::newRow("file classes named otherwise") << "using F = QFile;\ntypedef QDirIterator Walk;\n"
                                                         "#define FILE_OF(p) QFile(p)\nusing Kind = FileEntries::Kind;"
                                                      << kAlias << 3;
        QTest::newRow("macro wrapping a file call") << "#define READ_ALL(p) QFile(p).open(QIODevice::ReadOnly)\n"
                                                       "#include <QFile>" << kOpenRead << 1;
        QTest::newRow("file made with make_unique") << "auto f = std::make_unique<QFile>(p);\nf->open(mode);\n"
                                                       "std::unique_ptr<QFile> h(new QFile(p));\nh->open(m);"
                                                    << kOpenRead << 2;
        QTest::newRow("file made with new") << "g = new QTemporaryFile(p);\ng->remove();" << kFileMove << 1;
        QTest::newRow("iterator made otherwise") << "auto it = std::make_unique<QDirIterator>(folder);\n"
                                                    "new QDirIterator(folder, QDir::Files);" << kIterator << 2;
        QTest::newRow("pointer to a file call") << "auto rm = &QFile::remove;\n"
                                                   "bool (*mv)(const QString&, const QString&) = QFile::rename;"
                                                << kFileMove << 2;
        QTest::newRow("comment and string") << "// f.open(QIODevice::WriteOnly);\n/* QFile::remove(a); */\n"
                                               "log(\"QFile::remove(a)\");" << kFileMove << 0;
    }

    void scanFindsEachKind()
    {
        QFETCH(QString, code);
        QFETCH(QString, kind);
        QFETCH(int, count);
        Findings findings;
        scan(QStringLiteral("x.cpp"), code, &findings);
        QCOMPARE(findings.value({QStringLiteral("x.cpp"), kind}).size(), count);
    }

    // A QFile opened for writing in any file of the art, template or
    // gallery code is caught, whatever that file already holds.
    void newWriteIsCaught_data()
    {
        QTest::addColumn<QString>("file");
        for (const char* folder : {"artwork", "templates", "gallery"}) {
            QDirIterator it(sourceRoot() + QLatin1Char('/') + QLatin1String(folder), {QStringLiteral("*.cpp")},
                            QDir::Files);
            while (it.hasNext()) {
                const QString rel = it.next().mid(sourceRoot().size() + 1);
                QTest::newRow(qPrintable(rel)) << rel;
            }
        }
    }

    void newWriteIsCaught()
    {
        QFETCH(QString, file);
        QFile in(sourceRoot() + QLatin1Char('/') + file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QString added = QString::fromUtf8(in.readAll())
            + QStringLiteral("\nvoid added() { QFile f(\"x\"); f.open(QIODevice::WriteOnly); }\n");
        Findings findings = tree();
        findings.removeIf([&](const auto& it) { return it.key().first == file; });
        scan(file, added, &findings);
        const QString out = breaches(findings).join(QLatin1Char('\n'));
        QVERIFY2(out.contains(file + QLatin1Char(':')), qPrintable(out));
    }

    // Each kind of call, added to a scanned file of a copy of the source, is
    // caught at the line it was added on.
    void callOutsideTheGateIsCaught_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("call");
        const QStringList files{"artwork/DashConfigFitArt.cpp", "panels/ElementThumbnailCache.cpp",
                                "model/SettingsFile.cpp", "model/SidecarCarry.cpp", "window/MainWindowSettings.cpp"};
        const QList<QPair<const char*, const char*>> calls = {
            {"image reader on a path", "QImageReader reader(folder + \"/mask.png\");"},
            {"image writer on a path", "QImageWriter writer(path, \"png\");"},
            {"image saved to a path", "QImage image(4, 4, QImage::Format_ARGB32);\n    image.save(path, \"PNG\");"},
            {"image loaded from a path", "QImage image;\n    image.load(path);"},
            {"image made from a path", "const QImage picture(folder + \"/mask.png\");"},
            {"pixmap made from a path", "QPixmap pixmap(path);"},
            {"temporary file opened", "QFile(path).open(QIODevice::ReadOnly);"},
            {"chained receiver opened", "m_files.at(0)->open(QIODevice::WriteOnly);"},
            {"folder made", "QDir().mkpath(path);"},
            {"folder renamed through its file", "QFileInfo(path).dir().rename(a, b);"},
            {"std::filesystem", "std::filesystem::remove(path.toStdString());"},
            {"POSIX rename", "::rename(a, b);"},
            {"POSIX unlink", "::unlink(a);"},
            {"permissions", "QFile::setPermissions(path, QFileDevice::ReadOwner);"},
            {"permissions of a file", "QFile file(path);\n    file.setPermissions(QFileDevice::ReadOwner);"},
        };
        for (qsizetype i = 0; i < calls.size(); ++i)
            QTest::newRow(calls[i].first) << files[i % files.size()] << QString::fromUtf8(calls[i].second);
        // Every way of reaching a file that once went unseen in the theme
        // installer.
        const QList<QPair<const char*, const char*>> spellings = {
            {"tree removed through a pointer", "auto dir = std::make_unique<QDir>(path);\n    dir->removeRecursively();"},
            {"image writer named later", "QImageWriter writer;\n    writer.setFileName(path);"},
            {"image reader named later", "QImageReader reader;\n    reader.setFileName(path);"},
            {"image made with braces", "QImage img{path};"},
            {"argument naming a size", "const QImage picture(sizeChartFile);"},
            {"settings on a path and format", "QSettings s(path, format);"},
            {"C library rename", "rename(a, b);"},
            {"C library open", "const int fd = open(name, O_RDONLY);"},
            {"C library remove", "remove(name);"},
            {"C library truncate", "truncate(name, 0);"},
            {"file resized", "QFile::resize(path, 0);"},
            {"file linked", "QFile::link(path, target);"},
            {"file linked through its object", "QFile file(path);\n    file.link(target);"},
            {"file resized through its object", "QFile file(path);\n    file.resize(0);"},
            {"lock file", "QLockFile lock(path + \".lock\");"},
            {"process removing", "QProcess::execute(\"rm\", {QStringLiteral(\"-rf\"), path});"},
            {"icon from a path", "QIcon icon(path);"},
            {"font from a path", "QFontDatabase::addApplicationFont(path);"},
            {"minizip archive opened", "unzFile zip = unzOpen64(name);"},
            {"minizip archive created", "zipFile zip = zipOpen(name, APPEND_STATUS_CREATE);"},
            {"minizip's fopen", "zlib_filefunc64_def f;\n    fill_fopen64_filefunc(&f);"},
            {"pugixml loads a path", "pugi::xml_document doc;\n    doc.load_file(name);"},
            {"stream reopened", "std::freopen(name, \"w\", stdout);"},
            {"basic stream", "std::basic_ofstream<char> out(name);"},
            {"file under another name", "using Plain = QFile;"},
            {"iterator under another name", "typedef QDirIterator Walker;"},
            {"file made with make_unique", "auto file = std::make_unique<QFile>(path);\n    file->open(mode);"},
            {"iterator made with make_unique", "auto it = std::make_unique<QDirIterator>(path);"},
            {"macro wrapping a file", "#define OPEN_IT(p) QFile(p).open(QIODevice::ReadOnly)"},
            {"pointer to QFile::remove", "bool (*erase)(const QString&) = QFile::remove;"},
        };
        for (const auto& [name, call] : spellings)
            QTest::newRow(name) << QStringLiteral("gallery/ThemeInstaller.cpp") << QString::fromUtf8(call);
    }

    void callOutsideTheGateIsCaught()
    {
        QFETCH(QString, file);
        QFETCH(QString, call);
        const QString root = sourceCopy();
        QVERIFY(!root.isEmpty());
        const QString path = root + QLatin1Char('/') + file;
        QFile in(path);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray original = in.readAll();
        in.close();
        const auto write = [&](const QByteArray& bytes) {
            QFile out(path);
            return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size();
        };
        QVERIFY(write(original + "\nvoid addedByTheTest()\n{\n    " + call.toUtf8() + "\n}\n"));
        const int line = int(original.count('\n')) + 3 + int(call.count(QLatin1Char('\n'))) + 1;
        const QString out = breaches(scanTree(root)).join(QLatin1Char('\n'));
        QVERIFY(write(original));
        QVERIFY2(out.contains(QStringLiteral("%1:%2: ").arg(file).arg(line)), qPrintable(out));
    }

    // An entry that allows one call more than its file has fails the list:
    // it shrinks when a call moves to the gate.
    void listShrinksWithItsFile()
    {
        for (const Allowed& entry : kAllowed) {
            Findings findings = tree();
            QList<Found>& found = findings[keyOf(entry)];
            QVERIFY2(!found.isEmpty(), entry.file);
            found.removeLast();
            const QString out = breaches(findings).join(QLatin1Char('\n'));
            QVERIFY2(out.contains(QString::fromLatin1(entry.file) + QStringLiteral(": the list allows")), entry.file);
        }
    }

    // A listing of an install names a link and never walks through it, and
    // leaves a pipe out unless asked, without opening it.
    void listingNeverEntersALink()
    {
        const QString root = TestEnvironment::makeTempDir(QStringLiteral("install"));
        const QString outside = TestEnvironment::makeTempDir(QStringLiteral("user"));
        QVERIFY(ZipFixture::writeTree(outside, {{"photo.jpg", "the user's photo"}}));
        QVERIFY(ZipFixture::writeTree(root, {{"own/x.txt", "ours"}}));
        QVERIFY(QFile::link(outside, root + QStringLiteral("/art")));
        FifoGuard pipe(root + QStringLiteral("/pipe"));
        QVERIFY(pipe.made());
        QCOMPARE(SafeRead::filesBelow(root), QStringList({"art", "own/x.txt"}));
        QCOMPARE(SafeRead::filesBelow(root, true, true), QStringList({"art", "own/x.txt", "pipe"}));
        QCOMPARE(SafeRead::filesBelow(root, false), QStringList{"art"});
        QVERIFY(!pipe.released());
    }

    // Each call of the gate, met with a link or a pipe someone put in an
    // install: nothing outside is read, written or removed, nothing waits,
    // and a refusal names what was in the way.
    void gateNamesWhatIsInTheWay_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("hazard"); // what is at <root>/art
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("named"); // below the root
        QTest::newRow("read a linked file") << "read art" << "file link" << false << "art is a symbolic link";
        QTest::newRow("read a pipe") << "read art" << "pipe" << false << "art is not a regular file";
        QTest::newRow("append to a pipe") << "append art" << "pipe" << false << "art: it is not a regular file";
        QTest::newRow("append through a link") << "append art" << "file link" << false << "art: it is a symbolic link";
        QTest::newRow("write through a link") << "write art" << "file link" << false << "art is a symbolic link";
        QTest::newRow("write past a link") << "write art/notes/a.txt" << "folder link" << false
                                           << "art is a symbolic link";
        QTest::newRow("make a folder past a link") << "make art/new" << "folder link" << false
                                                   << "art is a symbolic link";
        QTest::newRow("remove past a link") << "remove art/notes" << "folder link" << false
                                            << "art is a symbolic link";
        QTest::newRow("remove a file past a link") << "remove file art/photo.jpg" << "folder link" << false
                                                   << "art is a symbolic link";
        QTest::newRow("remove a link") << "remove art" << "folder link" << true << "";
        QTest::newRow("move past a link") << "move own art/own" << "folder link" << false << "art is a symbolic link";
    }

    void gateNamesWhatIsInTheWay()
    {
        QFETCH(QString, call);
        QFETCH(QString, hazard);
        QFETCH(bool, ok);
        QFETCH(QString, named);
        const QString root = TestEnvironment::makeTempDir(QStringLiteral("install"));
        const QString outside = TestEnvironment::makeTempDir(QStringLiteral("user"));
        const QMap<QString, QByteArray> own{{"photo.jpg", "the user's photo"}, {"notes/a.txt", "kept"}};
        QVERIFY(ZipFixture::writeTree(outside, own));
        QVERIFY(ZipFixture::writeTree(root, {{"own/x.txt", "ours"}}));
        const QString art = root + QStringLiteral("/art");
        std::unique_ptr<FifoGuard> pipe;
        if (hazard == QLatin1String("pipe")) {
            pipe = std::make_unique<FifoGuard>(art);
            QVERIFY(pipe->made());
        } else {
            QVERIFY(QFile::link(hazard == QLatin1String("file link") ? outside + QStringLiteral("/photo.jpg") : outside,
                                art));
        }
        const QStringList words = call.split(QLatin1Char(' '));
        const QString path = root + QLatin1Char('/') + words.constLast();
        QString error;
        const QMap<QString, std::function<bool()>> calls{
            {"read", [&] { QByteArray bytes; return FolderCopy::readRegularFile(path, 1024, &bytes, &error); }},
            {"append", [&] { return FolderCopy::openForAppend(path, &error) != nullptr; }},
            {"write", [&] { return writeFileNoLink(path, "new", root, &error); }},
            {"make", [&] { return FolderCopy::makeFolderWithin(root, path, &error); }},
            {"remove file", [&] { return FolderCopy::removeFileWithin(root, path, &error); }},
            {"remove", [&] { return FolderCopy::removeTreeWithin(root, path, &error); }},
            {"move own", [&] { return FolderCopy::moveWithin(root, root + '/' + words[1], path, &error); }},
        };
        QVERIFY2(calls.contains(call.section(QLatin1Char(' '), 0, -2)), qPrintable(call));
        QCOMPARE(calls[call.section(QLatin1Char(' '), 0, -2)](), ok);
        QVERIFY2(ok || error.contains(root + QLatin1Char('/') + named), qPrintable(error));
        QCOMPARE(ZipFixture::readTree(outside), own);
        if (pipe)
            QVERIFY(!pipe->released());
    }

    // A folder the user keeps where the editor expects one (the data
    // folder, a configurations folder) is followed through a link to a
    // folder, never to anything else: a link to a file, to a pipe or to
    // nothing, a file or a pipe in its place is refused, named, and never
    // opened or written through.
    void keptFolderFollowsOnlyALinkToAFolder_data()
    {
        QTest::addColumn<QString>("there"); // what is at <root>/kept
        QTest::addColumn<int>("kept");
        QTest::addColumn<QString>("named"); // empty: no refusal
        const int folder = int(FileEntries::Kept::Folder);
        const int refused = int(FileEntries::Kept::Refused);
        QTest::newRow("folder") << "folder" << folder << "";
        QTest::newRow("missing") << "missing" << int(FileEntries::Kept::Missing) << "";
        QTest::newRow("link to a folder") << "folder link" << folder << "";
        QTest::newRow("link to a file") << "file link" << refused << "kept is a symbolic link to something";
        QTest::newRow("link to a pipe") << "pipe link" << refused << "kept is a symbolic link to something";
        QTest::newRow("link to nothing") << "broken link" << refused << "kept is a symbolic link to something";
        QTest::newRow("file") << "file" << refused << "kept is in the way";
        QTest::newRow("pipe") << "pipe" << refused << "kept is in the way";
    }
    void keptFolderFollowsOnlyALinkToAFolder()
    {
        QFETCH(QString, there);
        QFETCH(int, kept);
        QFETCH(QString, named);
        const QString root = TestEnvironment::makeTempDir(QStringLiteral("home"));
        const QString outside = TestEnvironment::makeTempDir(QStringLiteral("other-disk"));
        const QMap<QString, QByteArray> own{{"photo.jpg", "the user's photo"}};
        QVERIFY(ZipFixture::writeTree(outside, own));
        const QString path = root + QStringLiteral("/kept");
        std::unique_ptr<FifoGuard> pipe;
        if (there == "folder")
            QVERIFY(QDir().mkpath(path));
        else if (there == "file")
            QVERIFY(ZipFixture::writeTree(root, {{"kept", "a file"}}));
        else if (there == "pipe")
            QVERIFY((pipe = std::make_unique<FifoGuard>(path))->made());
        else if (there == "pipe link")
            QVERIFY((pipe = std::make_unique<FifoGuard>(root + "/pipe"))->made() && QFile::link(root + "/pipe", path));
        else if (there != "missing")
            QVERIFY(QFile::link(there == "folder link" ? outside
                                    : there == "file link" ? outside + "/photo.jpg"
                                                           : outside + "/gone",
                                path));
        QString why;
        QCOMPARE(int(FileEntries::keptFolder(path, &why)), kept);
        QString error;
        QCOMPARE(FileEntries::makeKeptFolder(path, &error), named.isEmpty());
        QVERIFY2(named.isEmpty() ? why.isEmpty() && error.isEmpty()
                                 : why.startsWith(root + "/" + named) && error.contains(root + "/" + named),
                 qPrintable(error));
        QCOMPARE(FileEntries::kindOf(path) == FileEntries::Kind::Folder, there == "folder" || there == "missing");
        QCOMPARE(ZipFixture::readTree(outside), own);
        if (pipe)
            QVERIFY(!pipe->released());
    }

    // A name too long for the disk once a suffix is added ends every search
    // for a free name beside it, with the system's reason.
    void freeNameSearchesEnd()
    {
        const QString folder = TestEnvironment::makeTempDir(QStringLiteral("long"));
        const QString target = folder + QLatin1Char('/') + QString(80, QChar(0x65E5)); // 240 bytes
        QString reason;
        QCOMPARE(FileEntries::besideName(target, "incoming", &reason), QString());
        QVERIFY(!reason.isEmpty());
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/source")));
        FolderCopy copy;
        QCOMPARE(copy.addFolder(folder + QStringLiteral("/source"), target), FolderCopy::Outcome::Failed);
        QVERIFY2(copy.error().contains(reason), qPrintable(copy.error()));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"source"});
    }

    void typedNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("fits");
        QTest::newRow("100 letters") << QString(100, QLatin1Char('a')) << true;
        QTest::newRow("74 CJK characters") << QString(74, QChar(0x65E5)) << true;
        QTest::newRow("80 CJK characters") << QString(80, QChar(0x65E5)) << false;
        QTest::newRow("60 emoji") << QString::fromUcs4(std::u32string(60, U'\U0001F3C1').c_str()) << false;
    }

    // One rule says whether a typed name fits the disk with our endings; the
    // name check of every store keeps to it.
    void typedNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, fits);
        const QString why = FolderCopy::whyNameDoesNotFit(name);
        QCOMPARE(why.isEmpty(), fits);
        QVERIFY2(fits || why.contains(name), qPrintable(why));
        QCOMPARE(PathGuard::isSafeName(name), fits);
    }

private:
    // The scanned folders of the source, copied once into a temporary tree
    // the tests may add to.
    QString sourceCopy()
    {
        if (!m_copy.isEmpty())
            return m_copy;
        const QString root = TestEnvironment::makeTempDir(QStringLiteral("source"));
        for (const QString& folder : kSourceFolders) {
            QDirIterator it(sourceRoot() + QLatin1Char('/') + folder, {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                            QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString from = it.next();
                const QString to = root + from.mid(sourceRoot().size());
                if (!QDir().mkpath(QFileInfo(to).path()) || !QFile::copy(from, to))
                    return {};
            }
        }
        return m_copy = root;
    }

    const Findings& tree()
    {
        if (m_tree.isEmpty())
            m_tree = scanTree(sourceRoot());
        return m_tree;
    }
    Findings m_tree;
    QString m_copy;
};

KORV_GUI_TEST_MAIN(FileGateTest)
#include "tst_filegate.moc"
