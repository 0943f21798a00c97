#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QTest>

#include <functional>

// Points HOME, the XDG folders, APPDATA, WINEPREFIX, QSettings and
// QStandardPaths at a fresh temporary folder, so a test never reads or writes
// the user's real settings, application data or RS3 installs (the default
// install roots lie inside the Wine prefix, here an empty folder). Called before the application
// object exists (KORV_TEST_MAIN does it).
namespace TestEnvironment {

void isolate();

// The temporary home of this test process.
QString homeDir();

// A new empty folder under the temporary home, unique per call.
QString makeTempDir(const QString& hint = QStringLiteral("dir"));

// The environment for a program the test starts: this process's, with a
// home, XDG folders, APPDATA and an empty WINEPREFIX of its own under a new
// temporary folder and no desktop session, so the program reads no settings
// or installs of the user's or of this process.
QProcessEnvironment childEnvironment();

// Peak resident size in bytes of this process, or (children) the largest of
// the child processes that have ended so far. A hostile input's test reads it
// to show that memory stayed bounded.
qint64 peakResidentBytes(bool children = false);

// Resident size in bytes of this process now, or (peak) the largest it has
// been since resetResidentPeak(); -1 when it cannot be read. Unlike
// address-space limits, this holds under AddressSanitizer too.
qint64 residentBytes(bool peak = false);
// Starts a new peak for residentBytes(true); false when the system cannot.
bool resetResidentPeak();

// User and system CPU time this process has used so far, in milliseconds
// (all its threads); -1 when it cannot be read.
qint64 cpuMilliseconds();

// Runs the event loop until done() or timeoutMs, and stops early once this
// process has grown by more than bound bytes since the call, so a runaway
// never takes the machine down with it. True when done() came true within
// the bound; the growth seen (from the resident peak where the system keeps
// one) goes to *grown.
bool waitWithinMemory(const std::function<bool()>& done, int timeoutMs, qint64 bound, qint64* grown);

} // namespace TestEnvironment

// QTEST_MAIN with an isolated environment and the offscreen platform.
#define KORV_TEST_MAIN(TestObject)                                       \
    int main(int argc, char** argv)                                      \
    {                                                                    \
        TestEnvironment::isolate();                                      \
        QApplication app(argc, argv);                                    \
        app.setAttribute(Qt::AA_Use96Dpi, true);                         \
        TestObject tc;                                                   \
        QTEST_SET_MAIN_SOURCE_PATH                                       \
        return QTest::qExec(&tc, argc, argv);                            \
    }

// The same for tests of the core library, which must not need Widgets.
#define KORV_GUI_TEST_MAIN(TestObject)                                   \
    int main(int argc, char** argv)                                      \
    {                                                                    \
        TestEnvironment::isolate();                                      \
        QGuiApplication app(argc, argv);                                 \
        TestObject tc;                                                   \
        QTEST_SET_MAIN_SOURCE_PATH                                       \
        return QTest::qExec(&tc, argc, argv);                            \
    }
