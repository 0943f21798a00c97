// Delete Template's question reads every configuration of RaceStudio 3 to
// count the pages that use the template. This times that count
// (PageTemplateLibrary::configsReferencingTemplate) over a fake install of
// user configurations against a plain case-insensitive byte search of the
// same files (read, lower-cased, searched), in the same process, and prints
// the ratio. For comparison it also times the count as it was before: each
// file parsed and written out again before the search. A second row times a
// crafted file of 8 MB made of "s04_homebrew/" over and over, searched for a
// long name, against the same plain search. A last row counts a
// configuration that keeps 25,000 logged-data files against a listing of
// its tree.
//
// Usage: template_count_bench [megabytes of configuration XML, default 48]

#include "bench/InterleavedMedians.h"
#include "model/StringWriter.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "templates/PageTemplate.h"
#include "templates/PageTemplateLibrary.h"
#include "templates/TemplateReference.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <cstdio>

namespace {

constexpr int kConfigs = 16;

// One mask of a page: what RS3 writes for every box, with a reference to a
// homebrew template on every tenth one (another template's on others).
QByteArray maskXml(int k)
{
    const QByteArray set = k % 10 == 0   ? "s04_homebrew/zn&#xFC;rburg_race/"
                           : k % 10 == 5 ? "S04_HOMEBREW/zother/"
                                         : "s02/p01/";
    return "  <e c=\"GMaskParam\">\n    <p n=\"PATH_REL_AiM_MASK\">aim/resources/overlay/mxs_12/masks/set/standard/"
           + set + "Items/md_" + QByteArray::number(k % 40) + "/</p>\n    <p n=\"XPOS\">" + QByteArray::number(k % 800)
           + "</p>\n    <p n=\"YPOS\">" + QByteArray::number(k % 480)
           + "</p>\n    <p n=\"WIDTH\">120</p>\n    <p n=\"HEIGHT\">60</p>\n    <p n=\"ORDINE\">"
           + QByteArray::number(k) + "</p>\n    <e c=\"Digit\"><p n=\"AXIS_REF\">04_000barg</p></e>\n  </e>\n";
}

QByteArray deviceXml(qint64 bytes)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<overlay_cli>\n";
    for (int k = 0; xml.size() < bytes; ++k)
        xml += maskXml(k);
    return xml + "</overlay_cli>\n";
}

QStringList deviceFiles(const QString& root)
{
    QStringList files;
    QDirIterator it(root + QStringLiteral("/user/cfgs"), {QStringLiteral("overlay.ov3.xml")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int plainSearch(const QStringList& files, const QByteArray& needle)
{
    int count = 0;
    for (const QString& path : files) {
        const QByteArray text = readAll(path).toLower();
        for (qsizetype at = text.indexOf(needle); at >= 0; at = text.indexOf(needle, at + needle.size()))
            ++count;
    }
    return count;
}

// The earlier count: parse, write out again as UTF-8, search as text.
int parsedAndWritten(const QStringList& files, const QString& needle)
{
    int count = 0;
    for (const QString& path : files) {
        const QByteArray bytes = readAll(path);
        pugi::xml_document doc;
        QByteArray utf8 = bytes;
        if (doc.load_buffer(bytes.constData(), size_t(bytes.size()))) {
            StringWriter text;
            doc.save(text, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
            utf8 = text.buffer;
        }
        const QString text = QString::fromUtf8(utf8).replace(QLatin1Char('\\'), QLatin1Char('/'));
        for (qsizetype at = text.indexOf(needle, 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(needle, at + needle.size(), Qt::CaseInsensitive))
            ++count;
    }
    return count;
}

// ours = the count over the install; base = the plain search of its files.
struct Row {
    int ours = 0;
    int base = 0;
    Medians times{};
};

Row timeCount(const Rs3Fixture& rs3, const PageTemplate& tpl, const QByteArray& needle, int rounds)
{
    const QStringList files = deviceFiles(rs3.root(Rs3Fixture::Stable));
    Row row;
    row.times = interleavedMedians(
        [&] {
            row.ours = 0;
            for (const TemplateReference& ref : PageTemplateLibrary::configsReferencingTemplate(tpl))
                row.ours += ref.referenceCount;
        },
        [&] { row.base = plainSearch(files, needle); }, rounds, 1, 1);
    return row;
}

// Inputs made against a count that looks at what follows each
// "s04_homebrew/": 8 MB of one piece over and over, and a name that never
// comes but once at the end.
bool craftedRow(const char* label, const QByteArray& piece, const QString& name)
{
    QByteArray device = "<?xml version=\"1.0\"?>\n<overlay_cli><p>";
    while (device.size() < 8 * 1024 * 1024)
        device += piece;
    device += "s04_homebrew/" + name.toUtf8() + "/</p></overlay_cli>\n";
    Rs3Fixture rs3;
    rs3.addUserConfig(Rs3Fixture::Stable, QStringLiteral("cfg_crafted"), QStringLiteral("Crafted"), {device});
    PageTemplate tpl;
    tpl.folderName = name;
    tpl.homebrew = true;
    const Row row = timeCount(rs3, tpl, "s04_homebrew/" + name.toUtf8().toLower() + "/", 7);
    std::printf("crafted 8 MB of %s, a name of %d characters\n", label, int(name.size()));
    std::printf("  references found: %d (plain search %d)\n", row.ours, row.base);
    std::printf("  plain case-insensitive byte search: %8.1f ms\n", row.times.base / 1e6);
    std::printf("  count now:                          %8.1f ms  ratio %.2f\n", row.times.ours / 1e6,
                row.times.ours / row.times.base);
    return row.ours == row.base && row.ours == 1;
}

bool craftedRows()
{
    const QString longName = QStringLiteral("z") + QString(99, QLatin1Char('n'));
    bool ok = craftedRow("\"s04_homebrew/\" repeated", "s04_homebrew/", longName);
    ok = craftedRow("the name but its last letter, repeated",
                    "s04_homebrew/" + longName.chopped(1).toLatin1() + "x ", longName) && ok;
    ok = craftedRow("\"s04_home&#98;rew/\" repeated", "s04_home&#98;rew/", longName) && ok;
    ok = craftedRow("\"s04_homebrew/\" repeated, a name beyond ASCII", "s04_homebrew/",
                    QStringLiteral("z\u00fc") + QString(98, QChar(0x00f8))) && ok;
    return ok;
}

// A configuration keeping 25,000 logged-data files in Logs/, which sorts
// before its dash folder: the count reads it whole (the reference is found,
// nothing left unread). Each round first adds a file beside them, so the
// count walks anew instead of answering from its last walk; the base lists
// the same tree and reads the device file.
bool manyFilesRow()
{
    Rs3Fixture rs3;
    const QString cfg = rs3.addUserConfig(Rs3Fixture::Stable, QStringLiteral("cfg_0001"), QStringLiteral("Race1"),
                                          {QByteArrayLiteral("<p>s04_homebrew/zlogs/bkg.tgz</p>")});
    QDir().mkpath(cfg + QStringLiteral("/Logs"));
    for (int i = 0; i < 25000; ++i) {
        QFile log(cfg + QStringLiteral("/Logs/%1.drk").arg(i));
        if (!log.open(QIODevice::WriteOnly))
            return false;
    }
    PageTemplate tpl;
    tpl.folderName = QStringLiteral("zlogs");
    tpl.homebrew = true;
    int round = 0;
    const auto touch = [&] { QFile(cfg + QStringLiteral("/round%1").arg(++round)).open(QIODevice::WriteOnly); };
    int found = 0;
    QStringList notSearched;
    int listed = 0;
    const Medians times = interleavedMedians(
        [&] {
            touch();
            notSearched.clear();
            const QList<TemplateReference> refs = PageTemplateLibrary::configsReferencingTemplate(tpl, &notSearched);
            found = refs.size();
        },
        [&] {
            touch();
            listed = 0;
            QDirIterator it(cfg, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                if (it.next().endsWith(QStringLiteral("overlay.ov3.xml")))
                    listed += int(!readAll(it.filePath()).isEmpty());
            }
        },
        7, 1, 1);
    std::printf("a configuration with 25,000 files in Logs/\n");
    std::printf("  users found: %d, left unread: %d\n", found, int(notSearched.size()));
    std::printf("  listing the tree, reading its device file: %8.1f ms\n", times.base / 1e6);
    std::printf("  count, walked anew:                        %8.1f ms  ratio %.2f\n", times.ours / 1e6,
                times.ours / times.base);
    return found == 1 && notSearched.isEmpty() && listed == 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TestEnvironment::isolate();
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 48;
    PageTemplate tpl;
    tpl.folderName = QStringLiteral("znürburg_race");
    tpl.homebrew = true;
    const QByteArray needle = QByteArrayLiteral("s04_homebrew/zn&#xfc;rburg_race/");
    Row now;
    Medians then{};
    int before = 0;
    int configs = 0;
    {
        Rs3Fixture rs3;
        const QByteArray device = deviceXml(megabytes * 1024 * 1024 / kConfigs);
        for (int c = 0; c < kConfigs; ++c)
            rs3.addUserConfig(Rs3Fixture::Stable, QStringLiteral("cfg_%1").arg(c), QStringLiteral("Config %1").arg(c),
                              {device});
        const QStringList files = deviceFiles(rs3.root(Rs3Fixture::Stable));
        configs = int(files.size());
        now = timeCount(rs3, tpl, needle, 5);
        then = interleavedMedians([&] { before = parsedAndWritten(files, QStringLiteral("s04_homebrew/znürburg_race/")); },
                                  [&] { plainSearch(files, needle); }, 3, 1, 1);
    }

    std::printf("template reference count over %d configurations, %lld MB of device XML\n", configs,
                static_cast<long long>(megabytes));
    std::printf("  references found: %d (plain search %d, before %d)\n", now.ours, now.base, before);
    std::printf("  plain case-insensitive byte search: %8.1f ms\n", now.times.base / 1e6);
    std::printf("  count now:                          %8.1f ms  ratio %.2f\n", now.times.ours / 1e6,
                now.times.ours / now.times.base);
    std::printf("  count before (parse and write out): %8.1f ms  ratio %.2f\n", then.ours / 1e6,
                then.ours / then.base);
    const bool crafted = craftedRows();
    const bool logs = manyFilesRow();
    return now.ours == now.base && now.ours > 0 && crafted && logs ? 0 : 1;
}
