#include "window/MainWindow.h"
#include "window/WidgetClipboard.h"
#include "canvas/DashCanvas.h"
#include "model/DashConfig.h"
#include "panels/ElementListPanel.h"
#include "support/ConfigFixture.h"
#include "support/ScriptedAsker.h"
#include "support/TestEnvironment.h"
#include "support/XwdImage.h"
#include "support/ZipFixture.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUndoStack>
#include <QWindow>
#include <QtTest>

#include <cmath>

// One editing session on a copy of the demo, through the keys and the mouse
// only: open, drag a box on the canvas, rename its label in the outliner,
// undo and redo the rename, save, close. It runs in this process against the
// window, and against the real program under Xvfb driven by xdotool; both
// find the page and the outliner row on a grab of the screen.
namespace {

// The script, in page pixels of the first page ("Race").
const QString kMaskId = QStringLiteral("md.01");
// Inside md.01, beside its label and value and clear of its resize handles.
const QPoint kGrabPoint(432, 150);
const QPoint kDragBy(30, 20);
const QSize kPageSize(800, 480);
const QString kOldText = QStringLiteral("SPEED");
const QString kNewText = QStringLiteral("VMAX");

// A key as the window's platform names it and as xdotool types it on X11.
// The platform's own binding counts: Redo is Ctrl+Shift+Z on X11 and
// Ctrl+Y on the offscreen platform.
struct Key {
    QKeySequence qt;
    const char* xdo;
};
Key openKey() { return {QKeySequence::Open, "ctrl+o"}; }
Key renameKey() { return {QKeySequence(Qt::Key_F2), "F2"}; }
Key enterKey() { return {QKeySequence(Qt::Key_Return), "Return"}; }
Key undoKey() { return {QKeySequence::Undo, "ctrl+z"}; }
Key redoKey() { return {QKeySequence::Redo, "ctrl+shift+z"}; }
Key saveKey() { return {QKeySequence::Save, "ctrl+s"}; }

constexpr QRgb kCanvasGrey = qRgb(50, 50, 50);
constexpr QRgb kPageBlack = qRgb(0, 0, 0);

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Where the canvas and its page are on a grab, and the canvas's own
// mapping of page pixels: scaled to fit with a 10-pixel margin, centred.
struct PageSpot {
    QRect canvas;
    QRect page;
    double scale = 0.0;

    QPointF origin() const
    {
        return QPointF(canvas.x() + (canvas.width() - kPageSize.width() * scale) / 2.0,
                       canvas.y() + (canvas.height() - kPageSize.height() * scale) / 2.0);
    }
    QPoint toScreen(const QPoint& p) const { return (origin() + QPointF(p) * scale).toPoint(); }
    // Screen pixels the canvas reads as `d` page pixels, where whole screen
    // pixels can say it; else the nearest.
    QPoint screenDistance(const QPoint& d) const { return QPoint(screenSpan(d.x()), screenSpan(d.y())); }
    int screenSpan(int pagePixels) const
    {
        const int nearest = qRound(pagePixels * scale);
        for (const int span : {nearest, nearest - 1, nearest + 1}) {
            if (int(span / scale) == pagePixels)
                return span;
        }
        return nearest;
    }
    // What the canvas reads a drag of `d` screen pixels as.
    QPoint pageDistance(const QPoint& d) const { return QPoint(int(d.x() / scale), int(d.y() / scale)); }
};

int runOf(const QImage& image, QPoint at, const QPoint& step, QRgb colour)
{
    int n = 0;
    for (; image.rect().contains(at) && image.pixel(at) == colour; at += step)
        ++n;
    return n;
}

// The page is the widest black run with canvas grey on both ends (its top
// row: the demo's first page has no box on its edges); the canvas is the
// grey around it.
bool findPage(const QImage& grab, PageSpot& spot, QString* why)
{
    QRect top;
    for (int y = 0; y < grab.height(); ++y) {
        for (int x = 1; x < grab.width(); ++x) {
            if (grab.pixel(x, y) != kPageBlack || grab.pixel(x - 1, y) != kCanvasGrey)
                continue;
            const int length = runOf(grab, QPoint(x, y), QPoint(1, 0), kPageBlack);
            if (x + length < grab.width() && grab.pixel(x + length, y) == kCanvasGrey && length > top.width())
                top = QRect(x, y, length, 1);
            x += length;
        }
    }
    if (top.width() < 100) {
        *why = QStringLiteral("no page inside the canvas on the grab");
        return false;
    }
    spot.page = QRect(top.topLeft(), QSize(top.width(), runOf(grab, top.topLeft(), QPoint(0, 1), kPageBlack)));
    const QRect& p = spot.page;
    spot.canvas.setLeft(p.left() - runOf(grab, p.topLeft() - QPoint(1, 0), QPoint(-1, 0), kCanvasGrey));
    spot.canvas.setRight(p.right() + runOf(grab, p.topRight() + QPoint(1, 0), QPoint(1, 0), kCanvasGrey));
    spot.canvas.setTop(p.top() - runOf(grab, p.topLeft() - QPoint(0, 1), QPoint(0, -1), kCanvasGrey));
    spot.canvas.setBottom(p.bottom() + runOf(grab, p.bottomLeft() + QPoint(0, 1), QPoint(0, 1), kCanvasGrey));
    spot.scale = std::min((spot.canvas.width() - 20.0) / kPageSize.width(),
                          (spot.canvas.height() - 20.0) / kPageSize.height());
    const QPointF o = spot.origin();
    if (std::abs(o.x() - p.x()) > 1.0 || std::abs(o.y() - p.y()) > 1.0
        || std::abs(kPageSize.width() * spot.scale - p.width()) > 2.0) {
        QDebug(why) << "the page" << p << "does not sit in the canvas" << spot.canvas << "as the canvas draws it";
        return false;
    }
    return true;
}

// The outliner row that a click on the canvas selected: the changed pixels
// left of the canvas that took the most common new colour (the selection's).
QRect selectedRow(const QImage& before, const QImage& after, const QRect& canvas)
{
    QHash<QRgb, int> counts;
    const auto scan = [&](const std::function<void(int, int)>& changed) {
        for (int y = canvas.top(); y <= canvas.bottom() && y < after.height(); ++y) {
            for (int x = 0; x < canvas.left(); ++x) {
                if (before.pixel(x, y) != after.pixel(x, y))
                    changed(x, y);
            }
        }
    };
    scan([&](int x, int y) { ++counts[after.pixel(x, y)]; });
    if (counts.isEmpty())
        return {};
    QRgb fill = counts.constBegin().key();
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it) {
        if (it.value() > counts.value(fill))
            fill = it.key();
    }
    QRect row;
    scan([&](int x, int y) {
        if (after.pixel(x, y) == fill)
            row |= QRect(x, y, 1, 1);
    });
    return row;
}

const MaskElement* firstPageMask(DashConfig& config)
{
    PageModel* page = config.page(0);
    if (!page || page->name != QLatin1String("Race"))
        return nullptr;
    for (const MaskElement& mask : page->masks) {
        if (mask.id == kMaskId)
            return &mask;
    }
    return nullptr;
}

QString labelText(const MaskElement& mask)
{
    for (const WidgetModel& widget : mask.widgets) {
        if (widget.kind == WidgetLabel)
            return widget.text;
    }
    return {};
}

// The first line where two texts differ, for a failure message.
QString firstDifference(const QByteArray& got, const QByteArray& expected)
{
    const QList<QByteArray> a = got.split('\n');
    const QList<QByteArray> b = expected.split('\n');
    for (int i = 0; i < std::max(a.size(), b.size()); ++i) {
        const QByteArray x = a.value(i), y = b.value(i);
        if (x != y)
            return QStringLiteral("line %1: \"%2\", expected \"%3\"").arg(i + 1).arg(QString::fromUtf8(x.trimmed()),
                                                                                   QString::fromUtf8(y.trimmed()));
    }
    return {};
}

// Replaces the first `from` after position `after` with `to`.
bool replaceAfter(QByteArray& text, qsizetype after, const QByteArray& from, const QByteArray& to)
{
    const qsizetype at = after < 0 ? -1 : text.indexOf(from, after);
    if (at < 0)
        return false;
    text.replace(at, from.size(), to);
    return true;
}

// The rename in a saved device file: the new text, and the label marked
// as named by hand on the line after it.
bool renameLabel(QByteArray& xml, qsizetype after, const QString& from, const QString& to)
{
    const QByteArray old = "<p n=\"TEXT\">" + from.toUtf8() + "</p>";
    const qsizetype at = after < 0 ? -1 : xml.indexOf(old, after);
    if (at < 0)
        return false;
    const qsizetype line = xml.lastIndexOf('\n', at) + 1;
    xml.replace(at, old.size(),
                "<p n=\"TEXT\">" + to.toUtf8() + "</p>\n" + xml.mid(line, at - line)
                    + "<p n=\"CONTROLLO_NO_AUTOAGGIORNABILE\">1</p>");
    return true;
}

// What a session does, however it reaches the window. Each step returns
// false with `failure` set when it could not be done.
class Driver {
public:
    virtual ~Driver() = default;
    virtual bool open(const QString& path) = 0; // Ctrl+O and the path
    virtual QImage grab() = 0;
    virtual bool click(const QPoint& at) = 0;
    virtual bool drag(const QPoint& from, const QPoint& to) = 0;
    virtual bool key(const Key& key) = 0;
    virtual bool type(const QString& text) = 0;
    // The window's own view of the label, where it can be asked.
    virtual bool labelShows(const QString&) { return true; }
    virtual bool saved(const QString&) { return true; }
    virtual bool close() = 0;

    QString failure;

protected:
    bool fail(const QString& why)
    {
        failure = why;
        return false;
    }
};

// The outliner row of md.01, found after a click on the box has selected it.
QRect pollSelectedRow(Driver& driver, const QImage& before, const QRect& canvas)
{
    const QDeadlineTimer deadline(15000);
    QRect last;
    while (!deadline.hasExpired()) {
        const QRect row = selectedRow(before, driver.grab(), canvas);
        if (!row.isEmpty() && row == last)
            return row;
        last = row;
        QTest::qWait(50);
    }
    return {};
}

// The shared steps, from opening the file to Ctrl+S; `dragged` is the
// drag's distance in page pixels.
bool runScript(Driver& driver, const QString& path, QPoint& dragged, QPoint& labelRow, QString* why)
{
    const auto step = [&](bool done) {
        if (!done)
            *why = driver.failure;
        return done;
    };
    if (!step(driver.open(path)))
        return false;
    // The page shows once the window has painted the opened file.
    QImage opened;
    PageSpot spot;
    for (const QDeadlineTimer deadline(15000); !findPage(opened = driver.grab(), spot, why);) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(100);
    }
    const QPoint at = spot.toScreen(kGrabPoint);
    if (!step(driver.click(at)))
        return false;
    const QRect row = pollSelectedRow(driver, opened, spot.canvas);
    if (row.isEmpty()) {
        *why = QStringLiteral("selecting %1 on the canvas selected no outliner row").arg(kMaskId);
        return false;
    }
    const QPoint by = spot.screenDistance(kDragBy);
    dragged = spot.pageDistance(by);
    if ((dragged - kDragBy).manhattanLength() > 2) {
        QDebug(why) << "a canvas at scale" << spot.scale << "cannot take a drag near" << kDragBy;
        return false;
    }
    // The label is the box's first child row, right below it.
    labelRow = QPoint(row.center().x(), row.bottom() + 1 + row.height() / 2);
    return step(driver.drag(at, at + by)) && step(driver.click(labelRow)) && step(driver.key(renameKey()))
        && step(driver.type(kNewText)) && step(driver.key(enterKey())) && step(driver.key(undoKey()))
        && step(driver.labelShows(kOldText)) && step(driver.key(redoKey())) && step(driver.labelShows(kNewText))
        && step(driver.key(saveKey())) && step(driver.saved(path));
}

// The window in this process, driven through its platform window as the
// system would; questions and the file dialog's answer come from the asker.
class WindowDriver : public Driver {
public:
    explicit WindowDriver(ScriptedAsker& asker)
        : m_asker(asker)
    {
        window.show();
        m_shown = QTest::qWaitForWindowActive(&window);
    }

    bool open(const QString& path) override
    {
        if (!m_shown)
            return fail(QStringLiteral("the window did not become active"));
        m_asker.fileNames = {path};
        key(openKey());
        return window.currentFile() == path || fail(QStringLiteral("Ctrl+O did not open %1").arg(path));
    }
    QImage grab() override { return window.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    bool click(const QPoint& at) override
    {
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, at);
        return true;
    }
    bool drag(const QPoint& from, const QPoint& to) override
    {
        QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, from);
        for (int i = 1; i <= 4; ++i)
            QTest::mouseMove(window.windowHandle(), from + (to - from) * i / 4);
        QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, to);
        return true;
    }
    bool key(const Key& k) override
    {
        QTest::keySequence(window.windowHandle(), k.qt);
        return true;
    }
    bool type(const QString& text) override
    {
        for (const QChar c : text)
            QTest::keyClick(window.windowHandle(), c.toLatin1());
        return true;
    }
    bool labelShows(const QString& text) override
    {
        QString row;
        const auto* outliner = window.findChild<ElementListPanel*>();
        for (int i = 0; i < outliner->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* mask = outliner->topLevelItem(i);
            if (mask->text(ElementListPanel::IdColumn) == kMaskId && mask->childCount() > 0)
                row = mask->child(0)->text(ElementListPanel::TextColumn);
        }
        const MaskElement* mask = firstPageMask(*window.findChild<DashCanvas*>()->config);
        const QString model = mask ? labelText(*mask) : QString();
        return (row == text && model == text)
            || fail(QStringLiteral("the outliner shows \"%1\" and the model holds \"%2\", not \"%3\"")
                        .arg(row, model, text));
    }
    bool close() override { return window.close() || fail(QStringLiteral("the window stayed open")); }

    MainWindow window;

private:
    ScriptedAsker& m_asker;
    bool m_shown = false;
};

// A command line split at its spaces.
QStringList words(const char* line)
{
    return QString::fromLatin1(line).split(QLatin1Char(' '));
}

// The real program on its own X server: xdotool types and clicks, xwd grabs
// the screen. Every wait polls, and every wait ends by the session deadline.
class XdoDriver : public Driver {
public:
    XdoDriver(const QString& display, QProcess& program, const QDeadlineTimer& deadline)
        : m_display(display), m_program(program), m_deadline(deadline)
    {
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("DISPLAY"), display);
    }

    // The program's window, once it is shown; false when it never is.
    bool findWindow()
    {
        while (!m_deadline.hasExpired()) {
            if (m_program.state() == QProcess::NotRunning)
                return fail(QStringLiteral("the program ended at start with code %1").arg(m_program.exitCode()));
            QByteArray out;
            if (xdo(words("search --onlyvisible --name ^Korvelanto"), &out)) {
                m_window = QString::fromLatin1(out.split('\n').value(0)).trimmed();
                return true;
            }
            QTest::qWait(100);
        }
        return fail(QStringLiteral("the program's window never showed"));
    }

    bool open(const QString& path) override
    {
        QByteArray dialog;
        const QStringList search = words("search --sync --onlyvisible --name") << QStringLiteral("^Open Dashboard$");
        if (!key(openKey()) || !xdo(search, &dialog))
            return fail(QStringLiteral("Ctrl+O showed no file dialog: ") + failure);
        const QString dialogId = QString::fromLatin1(dialog.split('\n').value(0)).trimmed();
        if (!xdo(words("windowfocus --sync") << dialogId) || !type(path) || !xdo(words("key Return")))
            return false;
        // A completion list may take the first Return; then it takes a second.
        QDeadlineTimer retry(5000);
        while (!m_deadline.hasExpired()) {
            QByteArray title;
            if (xdo(words("getwindowname") << m_window, &title) && title.trimmed() != "Korvelanto")
                return true;
            if (retry.hasExpired()) {
                xdo(words("key Return"));
                retry.setRemainingTime(5000);
            }
            QTest::qWait(100);
        }
        return fail(QStringLiteral("the window title never showed an open file"));
    }

    QImage grab() override
    {
        QProcess xwd;
        xwd.start(QStringLiteral("xwd"), words("-root -silent -display") << m_display);
        if (!xwd.waitForFinished(10000)) {
            xwd.kill();
            xwd.waitForFinished();
            return {};
        }
        return XwdImage::read(xwd.readAllStandardOutput());
    }
    bool click(const QPoint& at) override
    {
        return xdo(words("mousemove") << QString::number(at.x()) << QString::number(at.y()) << words("click 1"));
    }
    bool drag(const QPoint& from, const QPoint& to) override
    {
        QStringList args = words("mousemove") << QString::number(from.x()) << QString::number(from.y())
                                              << words("mousedown 1");
        for (int i = 1; i <= 4; ++i) {
            const QPoint p = from + (to - from) * i / 4;
            args << words("mousemove") << QString::number(p.x()) << QString::number(p.y());
        }
        return xdo(args << words("mouseup 1"));
    }
    bool key(const Key& k) override
    {
        // Without a window manager the focus stays where the last dialog
        // left it: every key goes to the window on purpose.
        return xdo(words("windowfocus --sync") << m_window << words("key --clearmodifiers")
                                                << QString::fromLatin1(k.xdo));
    }
    bool type(const QString& text) override
    {
        return xdo(words("type --delay 30") << text);
    }
    bool saved(const QString& path) override
    {
        while (!m_deadline.hasExpired()) {
            if (QFileInfo::exists(path + QStringLiteral(".bak")) && !ZipFixture::readZip(path).isEmpty())
                return true;
            QTest::qWait(100);
        }
        return fail(QStringLiteral("Ctrl+S wrote no %1.bak").arg(QFileInfo(path).fileName()));
    }
    // File > Exit from the keyboard; the menu must be up before its key.
    bool close() override
    {
        const int before = visibleWindows();
        if (!key({QKeySequence(), "alt+f"}))
            return false;
        while (visibleWindows() <= before) {
            if (m_deadline.hasExpired())
                return fail(QStringLiteral("Alt+F opened no menu"));
            QTest::qWait(100);
        }
        if (!xdo(words("key x")))
            return false;
        if (!m_program.waitForFinished(int(std::max<qint64>(m_deadline.remainingTime(), 0))))
            return fail(QStringLiteral("the program did not end after File > Exit"));
        return (m_program.exitStatus() == QProcess::NormalExit && m_program.exitCode() == 0)
            || fail(QStringLiteral("the program ended with code %1").arg(m_program.exitCode()));
    }

private:
    int visibleWindows()
    {
        QByteArray out;
        xdo(words("search --onlyvisible --pid") << QString::number(m_program.processId()), &out);
        return int(out.trimmed().split('\n').size());
    }

    bool xdo(const QStringList& args, QByteArray* out = nullptr)
    {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(QStringLiteral("xdotool"), args);
        const int wait = int(std::max<qint64>(m_deadline.remainingTime(), 0));
        if (!p.waitForFinished(wait)) {
            p.kill();
            p.waitForFinished();
            return fail(QStringLiteral("xdotool %1 did not finish in time").arg(args.join(QLatin1Char(' '))));
        }
        if (out)
            *out = p.readAllStandardOutput();
        return (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            || fail(QStringLiteral("xdotool %1: %2")
                        .arg(args.join(QLatin1Char(' ')), QString::fromLocal8Bit(p.readAllStandardError())));
    }

    QString m_display;
    QProcess& m_program;
    const QDeadlineTimer& m_deadline;
    QProcessEnvironment m_env;
    QString m_window;
};

// An X server and the program on it, both ended on every way out.
struct XSession {
    QProcess server;
    QProcess program;
    ~XSession()
    {
        for (QProcess* p : {&program, &server}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }
};

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private:
    static QString demoCopy()
    {
        return ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
    }

    // The untouched demo opened and saved the same way, for comparing.
    static QString referenceSave()
    {
        const QString path = demoCopy();
        ScriptedAsker asker;
        WindowDriver driver(asker);
        return driver.open(path) && driver.key(saveKey()) && driver.close() ? path : QString();
    }

    // The saved file holds the drag and the new label text, and every other
    // byte of its XML files is what saving the untouched demo writes.
    static void checkSaved(const QString& path, const QByteArray& original, const QPoint& dragged)
    {
        QCOMPARE(bytesOf(path + QStringLiteral(".bak")), original);
        const QString reference = referenceSave();
        QVERIFY(!reference.isEmpty());

        DashConfig before, after;
        QVERIFY(before.load(reference));
        QVERIFY(after.load(path));
        const MaskElement* was = firstPageMask(before);
        const MaskElement* is = firstPageMask(after);
        QVERIFY(was && is);
        QCOMPARE(QPoint(is->x, is->y), QPoint(was->x, was->y) + dragged);
        QCOMPARE(labelText(*was), kOldText);
        QCOMPARE(labelText(*is), kNewText);

        QMap<QString, QByteArray> expected = ZipFixture::readZip(reference);
        const QMap<QString, QByteArray> written = ZipFixture::readZip(path);
        QCOMPARE(written.keys(), expected.keys());
        bool patched = false;
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            if (!it.key().endsWith(QLatin1String(".xml")) && !it.key().endsWith(QLatin1String(".aimcfg")))
                continue;
            QByteArray& xml = it.value();
            const qsizetype box = xml.indexOf("i=\"" + kMaskId.toLatin1() + "\"");
            if (box >= 0 && !patched) {
                const auto param = [](const char* name, int value) {
                    return QByteArray("<p n=\"") + name + "\">" + QByteArray::number(value) + "</p>";
                };
                QVERIFY(replaceAfter(xml, box, param("XPOS", was->x), param("XPOS", is->x)));
                QVERIFY(replaceAfter(xml, box, param("YPOS", was->y), param("YPOS", is->y)));
                QVERIFY(renameLabel(xml, box, kOldText, kNewText));
                patched = true;
            }
            QVERIFY2(written.value(it.key()) == xml,
                     qPrintable(it.key() + QStringLiteral(": ") + firstDifference(written.value(it.key()), xml)));
        }
        QVERIFY(patched);
    }

private Q_SLOTS:
    void inProcess()
    {
        const QString path = demoCopy();
        QVERIFY(!path.isEmpty());
        const QByteArray original = bytesOf(path);
        QPoint dragged, labelRow;
        {
            ScriptedAsker asker;
            WindowDriver driver(asker);
            QString why;
            QVERIFY2(runScript(driver, path, dragged, labelRow, &why), qPrintable(why));

            // The Edit menu's keys still act after the session, a row menu
            // opened and closed on the label included.
            QUndoStack* history = driver.window.findChild<QUndoStack*>();
            const int saved = history->index();
            widgetClipboard().clear();
            QVERIFY(driver.click(labelRow));
            QTimer escape;
            QObject::connect(&escape, &QTimer::timeout, &escape, [] {
                if (QWidget* popup = QApplication::activePopupWidget())
                    QTest::keyClick(popup, Qt::Key_Escape);
            });
            escape.start(20);
            QTest::mouseClick(driver.window.windowHandle(), Qt::RightButton, {}, labelRow);
            QTRY_VERIFY(!QApplication::activePopupWidget());
            escape.stop();
            // On the offscreen platform the closed menu may hand the
            // activation to no window (it happens on a busy machine); a user
            // would click the window, which the keys below need to reach
            // their shortcuts.
            driver.window.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&driver.window));
            DashConfig& config = *driver.window.findChild<DashCanvas*>()->config;
            const auto widgets = [&] { return firstPageMask(config)->widgets.size(); };
            const size_t count = widgets();
            driver.key({QKeySequence(QStringLiteral("Ctrl+D")), ""});
            QCOMPARE(history->index(), saved + 1);
            QCOMPARE(widgets(), count + 1);
            driver.key({QKeySequence::Copy, ""});
            QVERIFY(!widgetClipboard().isEmpty());
            driver.key({QKeySequence::Delete, ""});
            QCOMPARE(history->index(), saved + 2);
            QCOMPARE(widgets(), count);

            asker.buttons = {QMessageBox::Discard};
            QVERIFY2(driver.close(), qPrintable(driver.failure));
            QCOMPARE(asker.count(QStringLiteral("message")), 1);
        }
        checkSaved(path, original, dragged);
    }

    void realProgram()
    {
        for (const char* tool : {"Xvfb", "xdotool", "xwd"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed (.ci/install-deps installs it)").arg(tool)));
        }
        const QString binary = qEnvironmentVariable("KORV_BINARY_DIR") + QStringLiteral("/app/korvelanto");
        QVERIFY2(QFileInfo(binary).isExecutable(), qPrintable(binary + QStringLiteral(" is not built")));
        const QString path = demoCopy();
        QVERIFY(!path.isEmpty());
        const QByteArray original = bytesOf(path);

        const QDeadlineTimer deadline(60000);
        XSession session;
        // The server picks a free display and writes its number when ready.
        session.server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                      QStringLiteral("-screen"), QStringLiteral("0"),
                                                      QStringLiteral("1600x1000x24"), QStringLiteral("-nolisten"),
                                                      QStringLiteral("tcp")});
        QByteArray number;
        while (!number.contains('\n') && session.server.waitForReadyRead(int(deadline.remainingTime())))
            number += session.server.readAllStandardOutput();
        QVERIFY2(number.contains('\n'), "Xvfb did not start");
        const QString display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());

        QProcessEnvironment env = TestEnvironment::childEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // In a sanitizer build the X libraries keep allocations for the life
        // of the program, which the leak check would report at exit, and
        // xkbcommon copies names of a known length that are not terminated,
        // which the strict string check takes for an overflow. The run in
        // this process checks the editor's own code with both.
        if (env.contains(QStringLiteral("ASAN_OPTIONS")))
            env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS"))
                                                           + QStringLiteral(":detect_leaks=0:strict_string_checks=0"));
        session.program.setProcessEnvironment(env);
        session.program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        session.program.start(binary, {});
        QVERIFY2(session.program.waitForStarted(10000), qPrintable(session.program.errorString()));

        XdoDriver driver(display, session.program, deadline);
        QVERIFY2(driver.findWindow(), qPrintable(driver.failure));
        QPoint dragged, labelRow;
        QString why;
        QVERIFY2(runScript(driver, path, dragged, labelRow, &why), qPrintable(why));
        QVERIFY2(driver.close(), qPrintable(driver.failure));
        checkSaved(path, original, dragged);
    }
};

KORV_TEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
