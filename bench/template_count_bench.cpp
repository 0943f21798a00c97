// Delete Template's question reads every configuration of RaceStudio 3 to
// count the pages that use the template. This times that count
// (PageTemplateLibrary::configsReferencingTemplate) over a fake install of
// user configurations against a plain case-insensitive byte search of the
// same files (read, lower-cased, searched), in the same process, and prints
// the ratio. For comparison it also times the count as it was before: each
// file parsed and written out again before the search.
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TestEnvironment::isolate();
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 48;
    Rs3Fixture rs3;
    const QByteArray device = deviceXml(megabytes * 1024 * 1024 / kConfigs);
    for (int c = 0; c < kConfigs; ++c)
        rs3.addUserConfig(Rs3Fixture::Stable, QStringLiteral("cfg_%1").arg(c), QStringLiteral("Config %1").arg(c),
                          {device});

    PageTemplate tpl;
    tpl.folderName = QStringLiteral("znürburg_race");
    tpl.homebrew = true;
    const QStringList files = deviceFiles(rs3.root(Rs3Fixture::Stable));
    int ours = 0;
    int base = 0;
    const Medians now = interleavedMedians(
        [&] {
            ours = 0;
            for (const TemplateReference& ref : PageTemplateLibrary::configsReferencingTemplate(tpl))
                ours += ref.referenceCount;
        },
        [&] { base = plainSearch(files, QByteArrayLiteral("s04_homebrew/zn&#xfc;rburg_race/")); }, 5, 1, 1);
    int before = 0;
    const Medians then = interleavedMedians(
        [&] { before = parsedAndWritten(files, QStringLiteral("s04_homebrew/znürburg_race/")); },
        [&] { plainSearch(files, QByteArrayLiteral("s04_homebrew/zn&#xfc;rburg_race/")); }, 3, 1, 1);

    std::printf("template reference count over %d configurations, %lld MB of device XML\n", int(files.size()),
                static_cast<long long>(megabytes));
    std::printf("  references found: %d (plain search %d, before %d)\n", ours, base, before);
    std::printf("  plain case-insensitive byte search: %8.1f ms\n", now.base / 1e6);
    std::printf("  count now:                          %8.1f ms  ratio %.2f\n", now.ours / 1e6, now.ours / now.base);
    std::printf("  count before (parse and write out): %8.1f ms  ratio %.2f\n", then.ours / 1e6,
                then.ours / then.base);
    return ours == base && ours > 0 ? 0 : 1;
}
