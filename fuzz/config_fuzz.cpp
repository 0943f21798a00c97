// Feeds arbitrary bytes to the whole document road a user takes: open the
// configuration, draw every page live and as geometry, save it, open the
// saved file again. Half of the inputs are the device XML of an otherwise
// plain archive (so the parser, records and drawing see hostile values), the
// other half are the archive itself. A configuration that opens and saves
// must open again with the same number of pages.

#include "FuzzEnvironment.h"

#include "canvas/DashCanvas.h"
#include "model/DashConfig.h"

#include <QByteArray>
#include <QFile>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnvironment::start(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static const QString input = FuzzEnvironment::filePath(QStringLiteral("input.zconf2"));
    static const QString saved = FuzzEnvironment::filePath(QStringLiteral("saved.zconf2"));
    QFile::remove(input);
    QFile::remove(saved);
    QFile::remove(saved + QStringLiteral(".bak"));
    const char* body = reinterpret_cast<const char*>(data) + 1;
    const bool written = (data[0] & 1) ? FuzzEnvironment::writeFile(input, body, size - 1)
                                       : FuzzEnvironment::writeConfiguration(input, body, size - 1);
    if (!written)
        return 0;

    DashConfig config;
    QString error;
    if (!config.load(input, &error)) {
        if (error.isEmpty() || config.pageCount() != 0)
            std::abort();
        return 0;
    }
    // A few pages are enough to reach every drawing path.
    for (int page = 0; page < config.pageCount() && page < 4; ++page) {
        DashCanvas::renderPageForPreview(&config, page, true, 1);
        DashCanvas::renderPageGeometry(config.page(page), 1);
    }
    if (!config.save(saved, &error))
        return 0;
    DashConfig reopened;
    if (!reopened.load(saved, &error) || reopened.pageCount() != config.pageCount())
        std::abort();
    return 0;
}
