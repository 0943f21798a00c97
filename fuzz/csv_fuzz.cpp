// Feeds arbitrary bytes to the CSV telemetry loader as an export file. A load
// either fails with one of its messages or gives a playable source: a finite,
// non-negative duration and finite values for every channel at any time.

#include "FuzzEnvironment.h"

#include "canvas/CsvDataSource.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzEnvironment::start(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = FuzzEnvironment::filePath(QStringLiteral("export.csv"));
    if (!FuzzEnvironment::writeFile(path, reinterpret_cast<const char*>(data), size))
        return 0;
    CsvDataSource source;
    if (!source.load(path)) {
        if (source.isValid() || source.errorText().isEmpty() || !source.channelNames().isEmpty())
            std::abort();
        return 0;
    }
    const double duration = source.duration();
    if (!std::isfinite(duration) || duration < 0.0)
        std::abort();
    const double start = source.firstTime();
    const double times[] = {start - 1.0, start, start + duration / 3.0, start + duration, start + duration + 1.0, NAN};
    for (const QString& name : source.channelNames()) {
        if (source.matchedColumn(name) != name)
            std::abort();
        for (double t : times) {
            if (!std::isfinite(source.value(name, t)))
                std::abort();
        }
        source.unitOf(name);
    }
    source.value(QStringLiteral("stbd_engine_rpm"), start);
    return 0;
}
