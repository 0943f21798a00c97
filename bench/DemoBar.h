#pragma once

// The demo's stock bar in a configuration of its own, for the benches that
// resize it. HOME, the settings and the installs live in a temporary folder;
// the demo is the build's, found as the tests find it.

#include "DemoStock.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/TestEnvironment.h"

#include <QUndoStack>

#include <cstdio>
#include <memory>

// Before the application: the environment the fixtures read, and only
// what goes wrong shown.
inline void prepareDemoBench()
{
    if (qEnvironmentVariableIsEmpty("KORV_SOURCE_DIR"))
        qputenv("KORV_SOURCE_DIR", KORV_SOURCE_DIR);
    if (qEnvironmentVariableIsEmpty("KORV_BINARY_DIR"))
        qputenv("KORV_BINARY_DIR", KORV_BINARY_DIR);
    TestEnvironment::isolate();
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
}

// A window's worth of a copy of the demo, and its lying bar on the first page.
struct DemoBar {
    std::unique_ptr<DashConfig> config = std::make_unique<DashConfig>();
    QUndoStack stack;
    int mask = -1;

    bool open()
    {
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("bench")));
        if (path.isEmpty() || !config->load(path))
            return false;
        for (size_t k = 0; k < config->pages[0].masks.size(); ++k) {
            if (paramValue(config->pages[0].masks[k].node, "PATH_REL_AiM_MASK") == DemoStock::barItem())
                mask = int(k);
        }
        return mask >= 0;
    }

    const MaskElement& bar() const { return config->pages[0].masks[size_t(mask)]; }
};
