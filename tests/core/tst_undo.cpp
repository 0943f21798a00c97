#include "editing/AddMultiBoxCommand.h"
#include "editing/AddTextBoxCommand.h"
#include "editing/AddValueBarCommand.h"
#include "editing/BarColorCommand.h"
#include "editing/BarScaleCommand.h"
#include "editing/BarColorRemoveCommand.h"
#include "editing/BoxStyleCommand.h"
#include "editing/ChildGeometrySnapshot.h"
#include "editing/ClearPageCommand.h"
#include "editing/DeleteCommand.h"
#include "editing/DuplicateMaskCommand.h"
#include "editing/InsertElementCommand.h"
#include "editing/InsertIconCommand.h"
#include "editing/InsertPageCommand.h"
#include "editing/InsertRefTimeBarCommand.h"
#include "editing/MaskAddCommand.h"
#include "editing/MoveCommand.h"
#include "editing/NewPageCommand.h"
#include "editing/NormalizeOrdineCommand.h"
#include "editing/RemovePageCommand.h"
#include "editing/RefreshBoxArtCommand.h"
#include "editing/ReorderMaskCommand.h"
#include "editing/ReplaceArtworkCommand.h"
#include "editing/SetLabelTextCommand.h"
#include "editing/SetPageBackgroundCommand.h"
#include "editing/SetTextColorCommand.h"
#include "editing/SetValueAlignmentCommand.h"
#include "editing/WidgetAddCommand.h"
#include "editing/WidgetDeleteCommand.h"
#include "artwork/PageBackground.h"
#include "editing/UniqueMaskName.h"
#include "model/DashConfig.h"
#include "model/XmlParams.h"
#include "support/ConfigFixture.h"
#include "support/ConfigSnapshot.h"
#include "support/Rs3Fixture.h"
#include "support/TestEnvironment.h"
#include "support/ZipFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QUndoStack>
#include <QtTest>
#include <functional>

// Builds a command against a freshly opened configuration (and may first
// prepare the configuration for the case).
struct CommandMaker {
    std::function<QUndoCommand*(DashConfig&)> make;
};
Q_DECLARE_METATYPE(CommandMaker)

// An artwork command, with what to do to the configuration before it (the
// preparation is not part of the checked history).
struct ArtCase {
    std::function<bool(DashConfig&)> prepare;
    std::function<QUndoCommand*(DashConfig&)> make;
};
Q_DECLARE_METATYPE(ArtCase)

// A command that fails on its first redo; the int and the string are the
// creator's own result targets.
struct FailCase {
    std::function<bool(DashConfig&, const Rs3Fixture&)> prepare;
    std::function<QUndoCommand*(DashConfig&, int*, QString*)> make;
};
Q_DECLARE_METATYPE(FailCase)

// The element an edit outside the history (a rebind, a panel font change)
// lands on, found afresh in the configuration as it now stands.
struct EditedNode {
    std::function<pugi::xml_node(DashConfig&)> find;
};
Q_DECLARE_METATYPE(EditedNode)

namespace {

// Main (0) and Second (1) and Empty (2) in the first device file, Other (3)
// in the second one. Main's masks carry ORDINE 5, 2, 9 and none.
ConfigFixture richConfig()
{
    ConfigFixture cfg;
    FixtureDevice& d = cfg.device();
    d.dashNumber = 1;
    d.page("Main")
        .mask(Fx::mask("rpm", 10, 20, 200, 100)
                  .set("ORDINE", 5)
                  .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                  .add(Fx::digit("d1", 10, 7, 180, 60, "a1").p("LINES_X_HOT_MOUSE", "0,0,100,0,200,0,200,100,0,100,0,0"))
                  .add(Fx::label("l1", "RPM", 0, 70, 0, 20).p("LINES_X_HOT_MOUSE", "0,70,40,70,40,90,0,90,0,70")))
        .mask(Fx::mask("speed", 220, 20, 300, 40)
                  .set("ORDINE", 2)
                  .add(Fx::axis("a1", "Speed", "SPD", "km/h"))
                  .add(Fx::bargraph("b1", 0, 0, 300, 40, "a1")
                           .p("XStart1", 3)
                           .p("XEnd1", 297)
                           .p("YStart1", 1)
                           .p("YEnd1", 39)
                           .p("LINES_X_HOT_MOUSE", "0,0,300,0,300,40,0,40,0,0")))
        .mask(Fx::mask("title", 0, 0, 800, 31)
                  .set("XPOS", "0,5")
                  .set("ORDINE", 9)
                  .add(Fx::label("l1", "Title", 0, 0, 800, 31).set("XPOS", "0,2")))
        .mask(Fx::mask("icon", 700, 400, 50, 50)
                  .without("ORDINE")
                  .add(Fx::icon("i1", 0, 0, 50, 50).p("LINES_X_HOT_MOUSE", "0,0,50,0,50,50,0,50,0,0")));
    d.page("Second")
        .mask(Fx::mask("lap", 0, 100, 400, 80)
                  .set("ORDINE", 1)
                  .add(Fx::axis("a1", "Lap Time", "LAP"))
                  .add(Fx::digit("d1", 0, 0, 400, 80, "a1")))
        .mask(Fx::mask("gear", 400, 100, 100, 80).set("ORDINE", 2).add(Fx::label("l1", "G", 0, 0, 100, 80)));
    d.page("Empty");
    FixtureDevice& d2 = cfg.addDevice("dash2");
    d2.dashNumber = 2;
    d2.page("Other").mask(Fx::mask("water", 5, 5, 120, 60).add(Fx::label("l1", "H2O", 0, 0, 120, 60)));
    return cfg;
}

QString maskIds(DashConfig& c, int page)
{
    QStringList ids;
    for (const MaskElement& m : c.page(page)->masks)
        ids << m.id;
    return ids.join(QLatin1Char(' '));
}

// The ids of the page's GMaskParam elements in document order.
QString elementIds(DashConfig& c, int page)
{
    QStringList ids;
    for (pugi::xml_node e = c.pageParamNode(page).child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "GMaskParam"))
            ids << QString::fromUtf8(e.attribute("i").value());
    }
    return ids.join(QLatin1Char(' '));
}

MaskElement& maskAt(DashConfig& c, int page, int mask)
{
    return c.page(page)->masks[static_cast<size_t>(mask)];
}

CommandMaker deleting(int page, int mask)
{
    return {[=](DashConfig& c) { return new DeleteCommand(&c, page, mask); }};
}

CommandMaker clearing(int page)
{
    return {[=](DashConfig& c) { return new ClearPageCommand(&c, page); }};
}

CommandMaker removingPage(int page)
{
    return {[=](DashConfig& c) { return new RemovePageCommand(&c, page); }};
}

CommandMaker reordering(int page, int from, int to)
{
    return {[=](DashConfig& c) { return new ReorderMaskCommand(&c, page, from, to, QString()); }};
}

CommandMaker moving(int page, int mask, QRect to, bool relayout = false, bool rescale = false)
{
    return {[=](DashConfig& c) {
        const MaskElement& m = maskAt(c, page, mask);
        return new MoveCommand(&m, m.x, m.y, m.w, m.h, to.x(), to.y(), to.width(), to.height(), &c, page, mask,
                               relayout, rescale);
    }};
}

// --- artwork commands ---------------------------------------------------------

const QString kDigitArt = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s01/digit/Items/a/");
const QString kBarArt = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/s02/bar/Items/b1/");

// "Race Day.zconf2": a value box "md.01" (120 x 60 on 100 x 50 stock art, with
// a border colour), a bar "mb.01" with end points and outline, an id-less
// value box at the stock size and an id-less bar without end points.
QString writeArtConfig()
{
    ConfigFixture cfg;
    cfg.device().page("Main")
        .mask(Fx::mask("md.01", 10, 20, 120, 60)
                  .p("PATH_REL_AiM_MASK", kDigitArt)
                  .p("PATH_IMAGE_SFONDO_FW", "mask.tgz")
                  .p("M_BCOL", "0xffff0000")
                  .p("ORDINE", 1)
                  .add(Fx::digit("d1", 0, 0, 120, 60)))
        .mask(Fx::mask("mb.01", 10, 100, 120, 30)
                  .p("PATH_REL_AiM_MASK", kBarArt)
                  .p("PATH_IMAGE", "mask.png")
                  .p("ORDINE", 2)
                  .add(Fx::axis("a1", "RPM", "RPM", "rpm"))
                  .add(Fx::bargraph("b1", 0, 0, 100, 25, "a1")
                           .p("XEnd1", 100)
                           .p("XEnd2", 100)
                           .p("LINES_X_HOT_MOUSE", "0,0,100,0,100,25,0,25,0,0")
                           .add(Fx::stepScale({{"0", "0"}, {"100", "9000"}}))))
        .mask(Fx::mask("", 200, 20, 100, 50)
                  .p("PATH_REL_AiM_MASK", kDigitArt)
                  .p("PATH_IMAGE_SFONDO_FW", "mask.tgz")
                  .p("ORDINE", 3)
                  .add(Fx::digit("d2", 0, 0, 100, 50)))
        .mask(Fx::mask("", 200, 100, 60, 20).p("PATH_REL_AiM_MASK", kBarArt).add(Fx::bargraph("b2", 0, 0, 60, 20)));
    return cfg.writeTempZip("Race Day.zconf2");
}

// Both installs have the device; the stock art is in the stable one.
bool installArt(const Rs3Fixture& fx)
{
    fx.addDeviceFolder(Rs3Fixture::Stable, "mxg_12");
    fx.addDeviceFolder(Rs3Fixture::Beta, "mxg_12");
    return fx.addArtItem(Rs3Fixture::Stable, kDigitArt, QSize(100, 50))
           && fx.addArtItem(Rs3Fixture::Stable, kBarArt, QSize(40, 20), QColor(220, 220, 220));
}

// Parameters that the artwork restores remove and set again: they come
// back at the end of their element, so they compare as a set (sorted at the
// end of each element); everything else compares as written.
const char* const kMovableParams[] = {"PATH_REL_AiM_MASK", "PATH_IMAGE_SFONDO_FW", "PATH_IMAGE", "PATH_IMG_ON",
                                      "DE_FIT_SRC",        "M_BCOL",               "DE_BARCOLOR_SRC", "XEnd1",
                                      "XEnd2",             "LINES_X_HOT_MOUSE"};

void moveArtParamsToTheEnd(pugi::xml_node element)
{
    std::vector<std::pair<std::string, pugi::xml_node>> moved;
    for (pugi::xml_node p = element.child("p"); p; p = p.next_sibling("p")) {
        for (const char* name : kMovableParams) {
            if (std::strcmp(p.attribute("n").value(), name) == 0)
                moved.emplace_back(std::string(name) + '=' + p.text().get(), p);
        }
    }
    std::stable_sort(moved.begin(), moved.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& entry : moved)
        element.append_move(entry.second);
    for (pugi::xml_node e = element.child("e"); e; e = e.next_sibling("e"))
        moveArtParamsToTheEnd(e);
}

QByteArray artDocuments(const DashConfig& c)
{
    QByteArray out;
    for (const DeviceFile* d : c.devices) {
        pugi::xml_document copy;
        copy.reset(d->doc);
        moveArtParamsToTheEnd(copy.document_element());
        out += ConfigSnapshot::xml(copy) + '\n';
    }
    return out;
}

QByteArray sidecars(const DashConfig& c)
{
    QByteArray out;
    for (const QString& path : {c.barColorSidecarPath(), c.boxStylesSidecarPath(), c.multiBoxSidecarPath(),
                                c.iconPreviewSidecarPath()}) {
        QFile f(path);
        out += path.toUtf8() + ":\n" + (f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>")) + '\n';
    }
    return out;
}

QMap<QString, QByteArray> artFiles(const Rs3Fixture& fx)
{
    QMap<QString, QByteArray> all;
    for (Rs3Fixture::Root root : {Rs3Fixture::Stable, Rs3Fixture::Beta}) {
        const QMap<QString, QByteArray> tree = ZipFixture::readTree(fx.root(root));
        for (auto it = tree.constBegin(); it != tree.constEnd(); ++it)
            all.insert(QString::number(int(root)) + '/' + it.key(), it.value());
    }
    return all;
}

// Art files that existed before are unchanged; files a command added may stay.
QString changedArt(const QMap<QString, QByteArray>& before, const QMap<QString, QByteArray>& now)
{
    for (auto it = before.constBegin(); it != before.constEnd(); ++it) {
        if (!now.contains(it.key()))
            return it.key() + QStringLiteral(" is gone");
        if (now.value(it.key()) != it.value())
            return it.key() + QStringLiteral(" changed");
    }
    return {};
}

ArtCase boxStyle(int mask, const QString& style, std::function<bool(DashConfig&)> prepare = {})
{
    return {prepare, [=](DashConfig& c) {
                return new BoxStyleCommand(&c, 0, mask, style, style == "solid_blue" ? 0xff2040ffu : 0u, true,
                                           style == "solid_blue" ? 2 : 0, style == "solid_blue" ? "OIL" : "",
                                           style == "solid_blue" ? 0xffffffffu : 0u);
            }};
}

bool styled(DashConfig& c)
{
    return c.applyBoxStyle(0, 0, "panel_dark", 0, true, 0, QString(), 0);
}

ArtCase resizing(int mask, QSize to, std::function<bool(DashConfig&)> prepare = {})
{
    return {prepare, [=](DashConfig& c) {
                const MaskElement& m = maskAt(c, 0, mask);
                return new MoveCommand(&m, m.x, m.y, m.w, m.h, m.x, m.y, to.width(), to.height(), &c, 0, mask, false,
                                       true);
            }};
}


// --- the demo configuration ---------------------------------------------------

const QString kStandard = QStringLiteral("aim/resources/overlay/mxg_12/masks/set/standard/");
const QString kLayout = kStandard + QStringLiteral("s02/p01/");
const QString kTemplate = kStandard + QStringLiteral("s02/tpl/");
const QString kReplaceArt = kStandard + QStringLiteral("s01/digit/Items/rep/");

// What the demo's commands draw on, besides the stock art above: an item to
// replace in both installs, the layout's value item, icon and +- Ref Time
// bar, and a page template.
bool installDemoArt(const Rs3Fixture& fx)
{
    return installArt(fx) && fx.addArtItem(Rs3Fixture::Stable, kReplaceArt, QSize(340, 160))
           && fx.addArtItem(Rs3Fixture::Beta, kReplaceArt, QSize(340, 160), Qt::blue)
           && fx.addArtItem(Rs3Fixture::Stable, kLayout + "Items/md1/", QSize(300, 120))
           && fx.writeFile(Rs3Fixture::Stable, kStandard + "s02/Icon/Icon_Black.bmp", "BM")
           && fx.addArtItem(Rs3Fixture::Stable, kStandard + "s02/p07/Items/md4/", QSize(44, 44))
           && fx.addDeltaBarItem(Rs3Fixture::Stable, kLayout + "items/md3/")
           && !fx.addTemplate(Rs3Fixture::Stable, "mxg_12", "s02", "tpl").isEmpty();
}

// The demo over a temporary install that holds its art; fails the test
// when either is missing.
void openDemoWithArt(const Rs3Fixture& fx, DashConfig& c)
{
    QVERIFY(installDemoArt(fx));
    const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
    QVERIFY2(!path.isEmpty(), "neither KORV_BINARY_DIR nor KORV_SOURCE_DIR leads to the demo configuration");
    QVERIFY(c.load(path));
}

// The demo's masks carry no art of their own: point one at an installed item.
std::function<bool(DashConfig&)> onArt(int page, int mask, const QString& item)
{
    return [=](DashConfig& c) {
        setParam(maskAt(c, page, mask).node, "PATH_REL_AiM_MASK", item.toUtf8());
        return true;
    };
}

ArtCase plain(std::function<QUndoCommand*(DashConfig&)> make)
{
    return {{}, std::move(make)};
}

QString pictureFolder(const QSize& size, const QColor& colour = QColor(200, 100, 0))
{
    const QString dir = TestEnvironment::makeTempDir(QStringLiteral("picture"));
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image.save(dir + "/mask.png") ? dir : QString();
}

// A first background set outside the checked history, in red.
bool redBackground(DashConfig& c)
{
    return c.setPageBackground(0, pictureFolder(QSize(800, 480), Qt::red) + "/mask.png", nullptr, nullptr);
}

ChannelInfo channelNamed(const DashConfig& c, const QString& longName)
{
    for (const ChannelInfo& channel : c.channels) {
        if (channel.longName == longName)
            return channel;
    }
    return {};
}

AddTextBoxCommand* textBox(DashConfig& c, bool intoMask)
{
    auto* command = new AddTextBoxCommand;
    if (intoMask)
        command->addToMask(&c, 0, 1, 12, 8);
    else
        command->addAsNewMask(&c, 2, 30, 400, QStringLiteral("Fuel"));
    return command;
}

// Page 0 of the demo: a gauge (0), a value box with a Label and a Digit (1),
// a bar (2) and a title (3). Page 1 has an icon; every page is laid out on
// the same stock layout.
QList<QPair<const char*, ArtCase>> demoCases()
{
    const std::vector<MultiBoxCellRequest> cells{
        {QStringLiteral("RPM"), QStringLiteral("RPM"), true}, {QStringLiteral("Speed"), QString(), false},
        {QStringLiteral("Water Temp"), QStringLiteral("H2O"), true}, {QString(), QString(), false}};
    return {
        {"delete", plain([](DashConfig& c) { return new DeleteCommand(&c, 0, 1); })},
        {"clear page", plain([](DashConfig& c) { return new ClearPageCommand(&c, 1); })},
        {"remove page", plain([](DashConfig& c) { return new RemovePageCommand(&c, 1); })},
        {"reorder", plain([](DashConfig& c) { return new ReorderMaskCommand(&c, 0, 0, 3, QString()); })},
        {"normalize ordine", {[](DashConfig& c) {
                                  c.setMaskOrders(0, {5, 2, 9, -1});
                                  return true;
                              },
                              [](DashConfig& c) { return new NormalizeOrdineCommand(&c, 0, QString()); }}},
        {"move and resize", plain(moving(0, 1, QRect(30, 40, 400, 200), true, true).make)},
        {"add multi-value box", plain([cells](DashConfig& c) {
             return new AddMultiBoxCommand(&c, 0, 2, 2, QStringLiteral("above"), cells, QRect(420, 300, 360, 140));
         })},
        {"add text box into a mask", plain([](DashConfig& c) { return textBox(c, true); })},
        {"add text box as a mask", plain([](DashConfig& c) { return textBox(c, false); })},
        {"add value bar", plain([](DashConfig& c) { return new AddValueBarCommand(&c, 0, 1, Qt::green, 0, 120); })},
        {"bar colour", {onArt(0, 2, kBarArt), [](DashConfig& c) { return new BarColorCommand(&c, 0, 2); }}},
        {"bar colour removal", {[](DashConfig& c) { return onArt(0, 2, kBarArt)(c) && c.applyBarColor(0, 2); },
                                [](DashConfig& c) { return new BarColorRemoveCommand(&c, 0, 2); }}},
        {"box style", {onArt(0, 1, kDigitArt), [](DashConfig& c) {
                           return new BoxStyleCommand(&c, 0, 1, "accent_bottom", 0xff2040ffu, true, 2, "OIL",
                                                      0xffffffffu);
                       }}},
        {"duplicate mask", plain([](DashConfig& c) { return new DuplicateMaskCommand(&c, 0, 1, 20, 20); })},
        {"insert element", plain([](DashConfig& c) {
             return new InsertElementCommand(&c, 0, channelNamed(c, QStringLiteral("Water Temp")), 250, 180, 300,
                                             120, maskAt(c, 0, 1).node, QString());
         })},
        {"insert icon", plain([](DashConfig& c) { return new InsertIconCommand(&c, 0, QRect(700, 10, 44, 44)); })},
        {"insert page from template", plain([](DashConfig& c) {
             const QString folder = QFileInfo(DashConfig::resolveRs3Path(kTemplate + "pMain.P2.xml")).path();
             return new InsertPageCommand(&c, folder, QStringLiteral("Laps"), kTemplate);
         })},
        {"insert +- Ref Time bar", plain([](DashConfig& c) {
             return new InsertRefTimeBarCommand(&c, 0, QRect(130, 390, 1, 1), QColor(), QColor(), 1.5);
         })},
        {"add mask", plain([](DashConfig& c) { return new MaskAddCommand(&c, 0, QStringLiteral("auto_mask.1")); })},
        {"add mask on copied artwork", plain([](DashConfig& c) {
             const pugi::xml_node axis = maskAt(c, 0, 1).node.find_child_by_attribute("e", "c", "Axis");
             return new MaskAddCommand(&c, 0, QStringLiteral("auto_mask.1"), true, kDigitArt,
                                       QStringLiteral("mask.png"), QString(), QStringLiteral("auto9/"), {axis});
         })},
        {"new page", plain([](DashConfig& c) { return new NewPageCommand(&c, QStringLiteral("Fuel")); })},
        {"replace artwork", {onArt(0, 1, kReplaceArt), [](DashConfig& c) {
                                 return new ReplaceArtworkCommand(&c, 0, 1, pictureFolder(QSize(340, 160)), false);
                             }}},
        {"rename label", plain([](DashConfig& c) {
             return new SetLabelTextCommand(&c, 0, 1, 0, maskAt(c, 0, 1).widgets[0].text, QStringLiteral("Revs"));
         })},
        {"set page background", plain([](DashConfig& c) {
             return new SetPageBackgroundCommand(&c, 0, pictureFolder(QSize(800, 480)) + "/mask.png");
         })},
        {"text colour", plain([](DashConfig& c) {
             return new SetTextColorCommand(&c, 0, 1, 1, c.textColour(0, 1, 1), QStringLiteral("0xff00ff00"));
         })},
        {"value alignment", plain([](DashConfig& c) {
             return new SetValueAlignmentCommand(&c, 0, 1, 1, maskAt(c, 0, 1).widgets[1].posAlign,
                                                 QStringLiteral("lt"));
         })},
        {"add widget", plain([](DashConfig& c) {
             return new WidgetAddCommand(&c, 0, 1, 10, 10, maskAt(c, 0, 1).widgets[0].node);
         })},
        {"delete widget", plain([](DashConfig& c) { return new WidgetDeleteCommand(&c, 0, 1, 0); })},
        {"bar scale range", plain([](DashConfig& c) { return new BarScaleCommand(&c, 0, 2, 0, -20.0, 80.0); })},
    };
}

// The first line where two texts differ, with a little context; empty when
// they are equal.
QString firstDifference(const QByteArray& a, const QByteArray& b)
{
    const QList<QByteArray> x = a.split('\n');
    const QList<QByteArray> y = b.split('\n');
    for (int i = 0; i < std::max(x.size(), y.size()); ++i) {
        if (x.value(i) != y.value(i))
            return QStringLiteral("line %1:\n%2\n%3\n%4\nvs\n%5").arg(i).arg(QString::fromUtf8(x.value(i - 1)),
                QString::fromUtf8(x.value(i)), QString::fromUtf8(x.value(i + 1)), QString::fromUtf8(y.value(i)));
    }
    return {};
}

// A folder standing where a command must write a file.
bool directoryAt(const QString& path)
{
    return QDir().mkpath(path);
}

} // namespace

class UndoTest : public QObject {
    Q_OBJECT

private:
    QString m_path;

    void open(DashConfig& c)
    {
        QString error;
        QVERIFY2(c.load(m_path, &error), qPrintable(error));
        QCOMPARE(c.pageCount(), 4);
        QCOMPARE(c.page(3)->name, QStringLiteral("Other"));
        QCOMPARE(ConfigSnapshot::pairingError(c), QString());
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_path = richConfig().writeTempZip();
        QVERIFY(!m_path.isEmpty());
    }

    // Every command class, on the demo configuration (and the list and
    // artwork commands also on configurations built for their edge cases),
    // against two RS3 installs: redo then undo gives back the device XML, the
    // records and the sidecars, and leaves every art file that existed as it
    // was (files a command added may stay); a second redo equals the first
    // and writes nothing new.
    void symmetry_data()
    {
        QTest::addColumn<QString>("config");
        QTest::addColumn<ArtCase>("command");
        for (const auto& row : demoCases())
            QTest::newRow(row.first) << "demo" << row.second;

        const QList<QPair<const char*, CommandMaker>> rich{
            {"delete first mask", deleting(0, 0)},
            {"delete last mask", deleting(0, 3)},
            {"delete in second file", deleting(3, 0)},
            {"clear only page of second file", clearing(3)},
            {"remove first page", removingPage(0)},
            {"remove empty page", removingPage(2)},
            {"remove only page of second file", removingPage(3)},
            {"reorder 0 to 3", reordering(0, 0, 3)},
            {"reorder 3 to 0", reordering(0, 3, 0)},
            {"reorder 2 to 1", reordering(0, 2, 1)},
            {"normalize ordine",
             {[](DashConfig& c) { return new NormalizeOrdineCommand(&c, 0, "Bring to front"); }}},
            {"move with suffixed XPOS", moving(0, 2, QRect(4, 6, 800, 31))},
            {"resize to odd size", moving(0, 0, QRect(10, 20, 133, 77), false, true)},
            {"resize bar", moving(0, 1, QRect(220, 20, 149, 23), false, true)},
            {"resize with relayout", moving(0, 0, QRect(0, 0, 250, 90), true, false)},
            {"shrink title", moving(0, 2, QRect(0, 0, 401, 17), true, true)},
            {"resize in second file", moving(3, 0, QRect(5, 5, 61, 31), false, true)},
        };
        for (const auto& row : rich)
            QTest::newRow(row.first) << "rich" << plain(row.second.make);

        // A later state never draws over the files an earlier one uses.
        QTest::newRow("second background over a first") << "demo" << ArtCase{redBackground, [](DashConfig& c) {
            return new SetPageBackgroundCommand(&c, 0, pictureFolder(QSize(800, 480), Qt::blue) + "/mask.png");
        }};
        QTest::newRow("bar colour on a bar with an empty lit picture")
            << "demo" << ArtCase{[](DashConfig& c) {
                                     setParam(maskAt(c, 0, 2).node, "PATH_IMG_ON", QByteArray());
                                     return onArt(0, 2, kBarArt)(c);
                                 },
                                 [](DashConfig& c) { return new BarColorCommand(&c, 0, 2); }};
        QTest::newRow("box apply without id") << "art" << boxStyle(2, "panel_dark");
        QTest::newRow("box restyle") << "art" << boxStyle(0, "solid_blue", styled);
        QTest::newRow("box remove") << "art" << boxStyle(0, "clean", styled);
        QTest::newRow("bar colour without end points")
            << "art" << ArtCase{{}, [](DashConfig& c) { return new BarColorCommand(&c, 0, 3); }};
        QTest::newRow("resize styled box") << "art" << resizing(0, QSize(150, 80), styled);
        // The box's record changed beside the file (a namesake's): the
        // refresh draws it into an item of the box's own.
        QTest::newRow("refresh a box whose record describes other art")
            << "art" << ArtCase{[](DashConfig& c) {
                                    if (!styled(c))
                                        return false;
                                    QMap<QString, BoxStyleRecord> styles = c.loadBoxStyleSidecar();
                                    styles[c.boxStyleKey(0, 0)].caption = QStringLiteral("RPM");
                                    return c.saveBoxStyleSidecar(styles);
                                },
                                [](DashConfig& c) { return new RefreshBoxArtCommand(&c, nullptr, nullptr, nullptr); }};
        QTest::newRow("resize fitted art") << "art" << resizing(2, QSize(120, 60));
        QTest::newRow("resize art fitted before") << "art" << resizing(2, QSize(90, 30), [](DashConfig& c) {
            MoveCommand(&maskAt(c, 0, 2), 200, 20, 100, 50, 200, 20, 120, 60, &c, 0, 2, false, true).redo();
            return paramValue(maskAt(c, 0, 2).node, "PATH_REL_AiM_MASK").contains("/Items/fit_");
        });
    }

    void symmetry()
    {
        QFETCH(QString, config);
        QFETCH(ArtCase, command);
        Rs3Fixture fx;
        QVERIFY(installDemoArt(fx));
        QString path = config == "rich" ? m_path : config == "art" ? writeArtConfig() : QString();
        if (config == "demo") {
            path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
            if (path.isEmpty())
                QSKIP("neither KORV_BINARY_DIR nor KORV_SOURCE_DIR leads to the demo configuration");
        }
        DashConfig c;
        QString error;
        QVERIFY2(c.load(path, &error), qPrintable(error));
        if (command.prepare)
            QVERIFY(command.prepare(c));
        const QByteArray xml0 = artDocuments(c);
        const QByteArray records0 = ConfigSnapshot::records(c);
        const QByteArray sidecars0 = sidecars(c);
        const auto art0 = artFiles(fx);

        QUndoStack stack;
        stack.push(command.make(c));
        QCOMPARE(stack.count(), 1);
        const QByteArray xml1 = artDocuments(c);
        const QByteArray records1 = ConfigSnapshot::records(c);
        const QByteArray sidecars1 = sidecars(c);
        const auto art1 = artFiles(fx);
        // A restyle or a replacement may change only the sidecars or the art.
        QVERIFY(xml1 != xml0 || sidecars1 != sidecars0 || art1 != art0);
        QCOMPARE(ConfigSnapshot::pairingError(c), QString());

        for (int round = 0; round < 2; ++round) {
            stack.undo();
            QCOMPARE(artDocuments(c), xml0);
            QCOMPARE(ConfigSnapshot::records(c), records0);
            QCOMPARE(sidecars(c), sidecars0);
            QCOMPARE(changedArt(art0, artFiles(fx)), QString());
            QCOMPARE(ConfigSnapshot::pairingError(c), QString());

            stack.redo();
            QCOMPARE(artDocuments(c), xml1);
            QCOMPARE(ConfigSnapshot::records(c), records1);
            QCOMPARE(sidecars(c), sidecars1);
            QCOMPARE(artFiles(fx), art1);
            QCOMPARE(ConfigSnapshot::pairingError(c), QString());
        }
    }

    // A step takes back only what its redo did: an edit made outside the
    // history to what it restores (while it was undone, or, for a step that
    // creates, while it was done) is still there after the next undo.
    void laterEditSurvivesUndoAndRedo_data()
    {
        QTest::addColumn<CommandMaker>("command");
        QTest::addColumn<bool>("editWhileDone");
        QTest::addColumn<EditedNode>("edited");
        const auto widgetOf = [](int page, int mask) {
            return EditedNode{[page, mask](DashConfig& c) { return maskAt(c, page, mask).widgets[0].node; }};
        };
        const std::vector<MultiBoxCellRequest> cells{{QStringLiteral("RPM"), QStringLiteral("RPM"), true},
                                                     {QStringLiteral("Speed"), QString(), false}};
        QTest::newRow("delete") << CommandMaker{[](DashConfig& c) { return new DeleteCommand(&c, 0, 1); }} << false
                                << widgetOf(0, 1);
        QTest::newRow("clear page") << CommandMaker{[](DashConfig& c) { return new ClearPageCommand(&c, 1); }}
                                    << false << widgetOf(1, 1);
        QTest::newRow("remove page") << CommandMaker{[](DashConfig& c) { return new RemovePageCommand(&c, 1); }}
                                     << false << widgetOf(1, 1);
        QTest::newRow("delete widget")
            << CommandMaker{[](DashConfig& c) { return new WidgetDeleteCommand(&c, 0, 1, 0); }} << false
            << widgetOf(0, 1);
        QTest::newRow("bar scale range")
            << CommandMaker{[](DashConfig& c) { return new BarScaleCommand(&c, 0, 2, 0, -20.0, 80.0); }} << false
            << EditedNode{[](DashConfig& c) {
                   return maskAt(c, 0, 2).widgets[0].node.find_child_by_attribute("e", "c", "ScaleFSV");
               }};
        QTest::newRow("add multi-value box") << CommandMaker{[cells](DashConfig& c) {
            return new AddMultiBoxCommand(&c, 0, 1, 2, QStringLiteral("above"), cells, QRect(420, 300, 360, 140));
        }} << true << widgetOf(0, 4);
    }
    void laterEditSurvivesUndoAndRedo()
    {
        QFETCH(CommandMaker, command);
        QFETCH(bool, editWhileDone);
        QFETCH(EditedNode, edited);
        Rs3Fixture fx;
        QVERIFY(installDemoArt(fx));
        const QString path = ConfigFixture::demoArchiveCopy(TestEnvironment::makeTempDir(QStringLiteral("demo")));
        DashConfig c;
        QVERIFY(c.load(path));
        QUndoStack stack;
        stack.push(command.make(c));
        QCOMPARE(stack.count(), 1);
        if (!editWhileDone)
            stack.undo();
        QVERIFY(edited.find(c));
        setParam(edited.find(c), "CHARSET_DIM", "40");
        if (editWhileDone) {
            stack.undo();
            stack.redo();
        } else {
            stack.redo();
            stack.undo();
        }
        QCOMPARE(paramValue(edited.find(c), "CHARSET_DIM"), QByteArray("40"));
    }

    // A creation or artwork change that cannot be made leaves no step on the
    // stack, hands the creator -1 (and its reason, where it has one) and
    // changes nothing: not the XML, the sidecars or any file in the installs.
    void failedFirstRedoLeavesNothing_data()
    {
        QTest::addColumn<FailCase>("command");
        QTest::addColumn<bool>("reports");
        const auto none = [](DashConfig&, const Rs3Fixture&) { return true; };
        QTest::newRow("replace artwork onto a folder") << FailCase{
            [](DashConfig& c, const Rs3Fixture& fx) {
                return onArt(0, 1, kReplaceArt)(c) && directoryAt(fx.absolutePath(Rs3Fixture::Beta, kReplaceArt + "mask.tgz"));
            },
            [](DashConfig& c, int*, QString* error) {
                return new ReplaceArtworkCommand(&c, 0, 1, pictureFolder(QSize(340, 160)), false, error);
            }} << true;
        QTest::newRow("page background under a file") << FailCase{
            [](DashConfig& c, const Rs3Fixture& fx) {
                return fx.writeFile(Rs3Fixture::Stable, QFileInfo(c.pageBackgroundFolder(0)).path(), "not a folder");
            },
            [](DashConfig& c, int*, QString* error) {
                return new SetPageBackgroundCommand(&c, 0, pictureFolder(QSize(800, 480)) + "/mask.png", error);
            }} << true;
        // The device file cannot be written after the full-size picture was:
        // the first background's files stay as they were, the new one
        // leaves nothing.
        QTest::newRow("page background failing over an existing one") << FailCase{
            [](DashConfig& c, const Rs3Fixture&) {
                const bool first = redBackground(c);
                setRefusedBackgroundFileForTests(QStringLiteral("bkg.tgz"));
                return first;
            },
            [](DashConfig& c, int*, QString* error) {
                return new SetPageBackgroundCommand(&c, 0, pictureFolder(QSize(800, 480), Qt::blue) + "/mask.png",
                                                    error);
            }} << true;
        QTest::newRow("+- Ref Time bar without its stock item") << FailCase{
            [](DashConfig&, const Rs3Fixture& fx) {
                return QDir(fx.absolutePath(Rs3Fixture::Stable, kLayout + "items/md3/")).removeRecursively();
            },
            [](DashConfig& c, int* created, QString*) {
                return new InsertRefTimeBarCommand(&c, 0, QRect(0, 0, 1, 1), Qt::red, Qt::green, 2, created);
            }} << false;
        QTest::newRow("page from a missing template") << FailCase{none, [](DashConfig& c, int* created, QString*) {
            return new InsertPageCommand(&c, TestEnvironment::makeTempDir("none"), "X", kTemplate, created);
        }} << false;
        QTest::newRow("element from outside the install") << FailCase{none, [](DashConfig& c, int* created,
                                                                             QString* error) {
            return new InsertElementCommand(&c, 0, ChannelInfo(), 0, 0, 100, 40, maskAt(c, 0, 1).node, "../../x/",
                                            error, created);
        }} << true;
        QTest::newRow("value bar on a bar") << FailCase{none, [](DashConfig& c, int* created, QString*) {
            return new AddValueBarCommand(&c, 0, 2, Qt::green, 0, 1, created);
        }} << false;
        QTest::newRow("multi-value box without cells") << FailCase{none, [](DashConfig& c, int* created, QString*) {
            return new AddMultiBoxCommand(&c, 0, 0, 2, "above", {}, QRect(0, 0, 100, 50), created);
        }} << false;
        QTest::newRow("text box into a missing mask") << FailCase{none, [](DashConfig& c, int* created, QString*) {
            AddTextBoxCommand* command = textBox(c, true);
            command->addToMask(&c, 0, 9, 0, 0);
            command->setResultTarget(created);
            return command;
        }} << false;
        QTest::newRow("duplicate of a missing mask") << FailCase{none, [](DashConfig& c, int* created, QString*) {
            return new DuplicateMaskCommand(&c, 0, 9, 20, 20, QString(), created);
        }} << false;
        QTest::newRow("mask on a missing page") << FailCase{none, [](DashConfig& c, int* created, QString*) {
            return new MaskAddCommand(&c, 7, "auto_mask.1", false, {}, {}, {}, {}, {}, created);
        }} << false;
        QTest::newRow("icon on a missing page") << FailCase{none, [](DashConfig& c, int* created, QString*) {
            return new InsertIconCommand(&c, 7, QRect(), created);
        }} << false;
        QTest::newRow("artwork without a configuration") << FailCase{none, [](DashConfig&, int*, QString*) {
            return new ReplaceArtworkCommand(nullptr, 0, 0, QString(), false);
        }} << false;
    }

    void failedFirstRedoLeavesNothing()
    {
        QFETCH(FailCase, command);
        QFETCH(bool, reports);
        Rs3Fixture fx;
        DashConfig c;
        openDemoWithArt(fx, c);
        if (QTest::currentTestFailed() || c.pageCount() == 0)
            return;
        QVERIFY(command.prepare(c, fx));
        const QByteArray xml0 = ConfigSnapshot::documents(c);
        const QByteArray records0 = ConfigSnapshot::records(c);
        const QByteArray sidecars0 = sidecars(c);
        const auto disk0 = fx.snapshot();

        int created = -2;
        QString error = QStringLiteral("stale");
        QUndoStack stack;
        stack.push(command.make(c, &created, &error));
        setRefusedBackgroundFileForTests(QString());
        QCOMPARE(stack.count(), 0);
        QVERIFY(created == -1 || created == -2); // -2: the command reports no index
        QCOMPARE(error != QLatin1String("stale") && !error.isEmpty(), reports);
        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(c), xml0);
        QCOMPARE(ConfigSnapshot::records(c), records0);
        QCOMPARE(sidecars(c), sidecars0);
        QVERIFY(fx.snapshot() == disk0);
    }

    // Box A (mbox.1) is deleted and box B takes its free name: B draws into
    // an item of its own, so two undos give A back with A's art, in both
    // installs, byte for byte.
    void reusedBoxNameKeepsEachBoxsArt()
    {
        Rs3Fixture fx;
        DashConfig c;
        openDemoWithArt(fx, c);
        if (QTest::currentTestFailed() || c.pageCount() == 0)
            return;
        const int index = int(c.page(0)->masks.size());
        QUndoStack stack;
        stack.push(new AddMultiBoxCommand(&c, 0, 2, 2, "above", std::vector<MultiBoxCellRequest>(4),
                                          QRect(420, 300, 200, 200)));
        QCOMPARE(maskAt(c, 0, index).id, QStringLiteral("mbox.1"));
        const QByteArray xmlA = artDocuments(c);
        const QByteArray sidecarsA = sidecars(c);
        const auto artA = artFiles(fx);

        stack.push(new DeleteCommand(&c, 0, index));
        stack.push(new AddMultiBoxCommand(&c, 0, 1, 3, "above", std::vector<MultiBoxCellRequest>(3),
                                          QRect(420, 300, 200, 60)));
        QCOMPARE(maskAt(c, 0, index).id, QStringLiteral("mbox.1"));
        stack.undo();
        stack.undo();
        QCOMPARE(artDocuments(c), xmlA);
        QCOMPARE(sidecars(c), sidecarsA);
        QCOMPARE(changedArt(artA, artFiles(fx)), QString());
    }

    // Saving leaves an unreferenced channel out of the file, not out of the
    // open document: the widget an undo brings back after the save keeps
    // its channel, and the next save writes the binding whole.
    void deletedWidgetKeepsItsChannelThroughASave()
    {
        Rs3Fixture fx;
        DashConfig c;
        openDemoWithArt(fx, c);
        if (QTest::currentTestFailed() || c.pageCount() < 3)
            return;
        const QString path = c.zconf2Path;
        QCOMPARE(maskAt(c, 2, 3).widgets.size(), size_t(1)); // the gear value of the laps page
        const WidgetModel gear = maskAt(c, 2, 3).widgets[0];
        QUndoStack stack;
        stack.push(new WidgetDeleteCommand(&c, 2, 3, 0));
        QVERIFY(c.save(path));
        {
            DashConfig saved;
            QVERIFY(saved.load(path));
            QVERIFY(!saved.page(2)->masks[3].node.find_child_by_attribute("e", "c", "Axis"));
        }
        stack.undo();
        QCOMPARE(maskAt(c, 2, 3).widgets[0].channel, gear.channel);
        QVERIFY(c.save(path));

        DashConfig reopened;
        QVERIFY(reopened.load(path));
        const MaskElement& mask = reopened.page(2)->masks[3];
        QCOMPARE(mask.widgets.size(), size_t(1));
        QCOMPARE(mask.widgets[0].axisRef, gear.axisRef);
        QCOMPARE(mask.widgets[0].channel, QStringLiteral("Gear"));
        const pugi::xml_node axis = mask.node.find_child_by_attribute("e", "i", gear.axisRef.toUtf8().constData());
        QCOMPARE(paramValue(axis, "lnm"), QByteArray("Gear"));
    }

    // What the model holds after an edit is what a reopen of the saved file
    // reads: the records, not only the file, must carry the edit.
    void recordsMatchAReopen_data()
    {
        QTest::addColumn<ArtCase>("command");
        for (const auto& row : demoCases())
            QTest::newRow(row.first) << row.second;
    }
    void recordsMatchAReopen()
    {
        QFETCH(ArtCase, command);
        Rs3Fixture fx;
        DashConfig c;
        openDemoWithArt(fx, c);
        if (QTest::currentTestFailed() || c.pageCount() == 0)
            return;
        if (command.prepare)
            QVERIFY(command.prepare(c));
        QUndoStack stack;
        stack.push(command.make(c));
        QCOMPARE(stack.count(), 1);
        QVERIFY(c.save(c.zconf2Path));
        DashConfig reopened;
        QVERIFY(reopened.load(c.zconf2Path));
        const QList<QByteArray> held = ConfigSnapshot::records(c).split('\n');
        const QList<QByteArray> read = ConfigSnapshot::records(reopened).split('\n');
        for (int i = 0; i < std::min(held.size(), read.size()); ++i)
            QCOMPARE(held[i], read[i]);
        QCOMPARE(held.size(), read.size());
    }

    // A long seeded session of edits on the demo, every step undone again,
    // saves the XML an unedited save writes.
    void randomSessionUndoneSavesTheUneditedXml_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {67u, 7u, 2026u})
            QTest::newRow(QByteArray::number(seed).constData()) << seed;
    }
    void randomSessionUndoneSavesTheUneditedXml()
    {
        QFETCH(quint32, seed);
        Rs3Fixture fx;
        DashConfig c;
        openDemoWithArt(fx, c);
        if (QTest::currentTestFailed() || c.pageCount() == 0)
            return;
        const QString dir = TestEnvironment::makeTempDir(QStringLiteral("session"));
        QVERIFY(c.save(dir + "/unedited.zconf2"));

        QRandomGenerator random(seed);
        const auto pick = [&random](int n) { return n > 0 ? int(random.bounded(n)) : -1; };
        QUndoStack stack;
        for (int step = 0; step < 120; ++step) {
            const int page = pick(c.pageCount());
            const int masks = int(c.page(page)->masks.size());
            const int mask = pick(masks);
            const MaskElement* m = mask >= 0 ? &maskAt(c, page, mask) : nullptr;
            const int widgets = m ? int(m->widgets.size()) : 0;
            const int widget = pick(widgets);
            QUndoCommand* command = nullptr;
            switch (pick(9)) {
            case 0:
                if (m)
                    command = new MoveCommand(m, m->x, m->y, m->w, m->h, pick(600), pick(400), 20 + pick(300),
                                              20 + pick(200), &c, page, mask, pick(2) == 1, pick(2) == 1);
                break;
            case 1:
                if (widget >= 0)
                    command = new SetTextColorCommand(&c, page, mask, widget, c.textColour(page, mask, widget),
                                                      QStringLiteral("0xff%1").arg(pick(0xffffff), 6, 16, QLatin1Char('0')));
                break;
            case 2:
                if (m)
                    command = new DeleteCommand(&c, page, mask);
                break;
            case 3:
                if (m)
                    command = new DuplicateMaskCommand(&c, page, mask, 20, 20);
                break;
            case 4:
                if (widget >= 0)
                    command = new WidgetDeleteCommand(&c, page, mask, widget);
                break;
            case 5:
                if (widget >= 0)
                    command = new SetValueAlignmentCommand(&c, page, mask, widget, m->widgets[size_t(widget)].posAlign,
                                                           pick(2) ? QStringLiteral("lt") : QStringLiteral("rc"));
                break;
            case 6:
                command = new AddMultiBoxCommand(&c, page, 1, 2, "left", std::vector<MultiBoxCellRequest>(2),
                                                 QRect(pick(400), pick(300), 100 + pick(200), 40 + pick(100)));
                break;
            case 7:
                if (masks >= 2)
                    command = new ReorderMaskCommand(&c, page, mask, (mask + 1) % masks, QString());
                break;
            default:
                command = textBox(c, false);
                break;
            }
            if (command)
                stack.push(command);
            QCOMPARE(ConfigSnapshot::pairingError(c), QString());
        }
        QVERIFY(stack.count() > 40);
        stack.setIndex(0);
        QVERIFY(c.save(dir + "/undone.zconf2"));

        DashConfig unedited;
        DashConfig undone;
        QVERIFY(unedited.load(dir + "/unedited.zconf2"));
        QVERIFY(undone.load(dir + "/undone.zconf2"));
        QCOMPARE(firstDifference(ConfigSnapshot::documents(undone), ConfigSnapshot::documents(unedited)), QString());
        QCOMPARE(firstDifference(ConfigSnapshot::records(undone), ConfigSnapshot::records(unedited)), QString());
    }

    // A redo puts back the mask the first run made, without the stock item
    // it was copied from: removed from the install meanwhile, it is not
    // needed again.
    void refTimeBarRedoesFromItsCopy()
    {
        Rs3Fixture fx;
        DashConfig c;
        openDemoWithArt(fx, c);
        if (QTest::currentTestFailed() || c.pageCount() == 0)
            return;
        int created = -1;
        QUndoStack stack;
        stack.push(new InsertRefTimeBarCommand(&c, 0, QRect(130, 390, 1, 1), Qt::red, Qt::green, 2, &created));
        QVERIFY(created >= 0);
        const QByteArray inserted = ConfigSnapshot::documents(c);
        stack.undo();
        QVERIFY(QDir(fx.absolutePath(Rs3Fixture::Stable, kLayout + "items/md3/")).removeRecursively());
        stack.redo();
        QCOMPARE(ConfigSnapshot::documents(c), inserted);
    }

    // A command that cannot do its edit, or could not undo it, never stays
    // on the stack and leaves the model as it was.
    void refused_data()
    {
        QTest::addColumn<CommandMaker>("command");
        QTest::newRow("delete without config") << CommandMaker{[](DashConfig&) { return new DeleteCommand(nullptr, 0, 0); }};
        QTest::newRow("delete bad mask") << deleting(0, 4);
        QTest::newRow("delete bad page") << deleting(4, 0);
        QTest::newRow("clear empty page") << clearing(2);
        QTest::newRow("clear bad page") << clearing(-1);
        QTest::newRow("clear without config")
            << CommandMaker{[](DashConfig&) { return new ClearPageCommand(nullptr, 0); }};
        QTest::newRow("remove bad page") << removingPage(4);
        QTest::newRow("remove page without element") << CommandMaker{[](DashConfig& c) {
            c.page(1)->deviceFileIndex = 7;
            return new RemovePageCommand(&c, 1);
        }};
        QTest::newRow("remove page without config")
            << CommandMaker{[](DashConfig&) { return new RemovePageCommand(nullptr, 0); }};
        QTest::newRow("reorder onto itself") << reordering(0, 2, 2);
        QTest::newRow("reorder past the end") << reordering(0, 0, 4);
        QTest::newRow("reorder without config")
            << CommandMaker{[](DashConfig&) { return new ReorderMaskCommand(nullptr, 0, 0, 1, QString()); }};
        QTest::newRow("normalize numbered page")
            << CommandMaker{[](DashConfig& c) { return new NormalizeOrdineCommand(&c, 1, QString()); }};
        QTest::newRow("normalize bad page")
            << CommandMaker{[](DashConfig& c) { return new NormalizeOrdineCommand(&c, 9, QString()); }};
        QTest::newRow("move to the same rectangle") << moving(0, 1, QRect(220, 20, 300, 40));
        QTest::newRow("move without config") << CommandMaker{[](DashConfig& c) {
            const MaskElement& m = maskAt(c, 0, 0);
            return new MoveCommand(&m, m.x, m.y, m.w, m.h, 1, 2, 3, 4, nullptr, 0, 0, true, true);
        }};
        QTest::newRow("move of a missing mask") << CommandMaker{[](DashConfig& c) {
            return new MoveCommand(nullptr, 0, 0, 10, 10, 5, 5, 20, 20, &c, 0, 4, false, true);
        }};
    }

    void refused()
    {
        QFETCH(CommandMaker, command);
        DashConfig c;
        open(c);
        QUndoCommand* cmd = command.make(c);
        const QByteArray xml0 = ConfigSnapshot::documents(c);
        const QByteArray records0 = ConfigSnapshot::records(c);
        QUndoStack stack;
        stack.push(cmd);
        QCOMPARE(stack.count(), 0);
        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(c), xml0);
        QCOMPARE(ConfigSnapshot::records(c), records0);
    }

    void commandTexts()
    {
        DashConfig c;
        open(c);
        QCOMPARE(DeleteCommand(&c, 0, 0).text(), QStringLiteral("Delete RPM"));
        QCOMPARE(DeleteCommand(&c, 0, 2).text(), QStringLiteral("Delete title"));
        QCOMPARE(DeleteCommand(&c, 0, 9).text(), QStringLiteral("Delete element"));
        QCOMPARE(ClearPageCommand(&c, 0).text(), QStringLiteral("Clear page (4 elements)"));
        QCOMPARE(ClearPageCommand(nullptr, 0).text(), QStringLiteral("Clear page"));
        QCOMPARE(RemovePageCommand(&c, 1).text(), QStringLiteral("Delete page 2"));
        QCOMPARE(ReorderMaskCommand(&c, 0, 0, 1, QString()).text(), QStringLiteral("Reorder mask"));
        QCOMPARE(NormalizeOrdineCommand(&c, 0, QString()).text(), QStringLiteral("Reorder"));
        QCOMPARE(NormalizeOrdineCommand(&c, 0, "Send to back").text(), QStringLiteral("Send to back"));
        QCOMPARE(MoveCommand(&maskAt(c, 0, 1), 0, 0, 1, 1, 1, 1, 1, 1, &c, 0, 1, false, false).text(),
                 QStringLiteral("Move/Resize speed"));
        QCOMPARE(MoveCommand(nullptr, 0, 0, 1, 1, 1, 1, 1, 1, &c, 0, 1, false, false).text(),
                 QStringLiteral("Move/Resize"));
    }

    void reorderRenumbersAndUndoRestoresOrdine()
    {
        DashConfig c;
        open(c);
        QCOMPARE(c.maskOrders(0), (std::vector<int>{5, 2, 9, -1}));
        QUndoStack stack;
        stack.push(new ReorderMaskCommand(&c, 0, 0, 3, "Bring \"rpm\" to front"));
        QCOMPARE(maskIds(c, 0), QStringLiteral("speed title icon rpm"));
        QCOMPARE(elementIds(c, 0), QStringLiteral("speed title icon rpm"));
        QCOMPARE(c.maskOrders(0), (std::vector<int>{1, 2, 3, 4}));
        QVERIFY(c.devices[0]->dirty);
        stack.undo();
        QCOMPARE(maskIds(c, 0), QStringLiteral("rpm speed title icon"));
        QCOMPARE(elementIds(c, 0), QStringLiteral("rpm speed title icon"));
        QCOMPARE(c.maskOrders(0), (std::vector<int>{5, 2, 9, -1}));
        QVERIFY(!maskAt(c, 0, 3).node.find_child_by_attribute("p", "n", "ORDINE"));
    }

    void ordineReading_data()
    {
        QTest::addColumn<QString>("text"); // null: no ORDINE
        QTest::addColumn<int>("order");
        QTest::newRow("plain") << "4" << 4;
        QTest::newRow("blanks around") << " 12 " << 12;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("negative") << "-4" << -1;
        QTest::newRow("not a number") << "x" << -1;
        QTest::newRow("trailing text") << "3a" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("missing") << QString() << -1;
    }

    void ordineReading()
    {
        QFETCH(QString, text);
        QFETCH(int, order);
        ConfigFixture cfg;
        FixtureElement m = Fx::mask("m", 0, 0, 10, 10).without("ORDINE");
        if (!text.isNull())
            m.p("ORDINE", text).p("ORDINE", "8");
        cfg.device().page("P").mask(m);
        DashConfig c;
        QVERIFY(c.load(cfg.writeTempZip()));
        QCOMPARE(c.maskOrder(0, 0), order);
        QCOMPARE(c.maskOrder(0, 1), -1);
        QCOMPARE(c.maskOrder(1, 0), -1);
    }

    void minAndMaxOrdine()
    {
        DashConfig c;
        open(c);
        QCOMPARE(c.maxOrdine(0), 9);
        QCOMPARE(c.minOrdine(0), 2);
        QCOMPARE(c.maxOrdine(2), -1); // no masks
        QCOMPARE(c.minOrdine(2), -1);
        c.setMaskOrders(0, {-1, -1, -1, -1});
        QCOMPARE(c.maxOrdine(0), -1);
        QCOMPARE(c.minOrdine(0), -1); // masks, but none with ORDINE
        QCOMPARE(c.maxOrdine(9), -1);
    }

    void normalizeSkipsMasksWithoutElement()
    {
        ConfigFixture cfg;
        cfg.device()
            .page("P")
            .mask(Fx::mask("a", 0, 0, 1, 1).set("ORDINE", 7))
            .mask(Fx::mask("b", 0, 0, 1, 1).without("ORDINE"))
            .mask(Fx::mask("c", 0, 0, 1, 1).set("ORDINE", 3));
        DashConfig c;
        QVERIFY(c.load(cfg.writeTempZip()));
        c.normalizeOrdine(0);
        QCOMPARE(c.maskOrders(0), (std::vector<int>{1, 2, 3}));
        c.setMaskOrders(0, {7, -1, 3});
        MaskElement ghost;
        ghost.id = "ghost";
        c.page(0)->masks.insert(c.page(0)->masks.begin() + 1, ghost);
        c.normalizeOrdine(0);
        QCOMPARE(c.maskOrders(0), (std::vector<int>{1, -1, 2, 3}));
    }

    void setMaskOrdersShortListAndRemoval()
    {
        ConfigFixture cfg;
        cfg.device()
            .page("P")
            .mask(Fx::mask("a", 0, 0, 1, 1).set("ORDINE", 4).p("ORDINE", 6))
            .mask(Fx::mask("b", 0, 0, 1, 1).set("ORDINE", 5))
            .mask(Fx::mask("c", 0, 0, 1, 1).set("ORDINE", 6));
        DashConfig c;
        QVERIFY(c.load(cfg.writeTempZip()));
        c.setMaskOrders(0, {-1, 8});
        QCOMPARE(c.maskOrders(0), (std::vector<int>{-1, 8, 6}));
        QCOMPARE(QString::fromUtf8(ConfigSnapshot::documents(c)).count("\"ORDINE\""), 2);
    }

    void uniqueMaskName_data()
    {
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("name");
        QTest::newRow("no masks") << QStringList{} << "new" << "new.1";
        QTest::newRow("gap") << QStringList{"new.1", "new.3"} << "new" << "new.2";
        QTest::newRow("after the run") << QStringList{"new.2", "new.1"} << "new" << "new.3";
        QTest::newRow("other bases") << QStringList{"ico.1", "new"} << "new" << "new.1";
        QTest::newRow("creator base") << QStringList{"mbox.1"} << "mbox" << "mbox.2";
    }

    void uniqueMaskName()
    {
        QFETCH(QStringList, ids);
        QFETCH(QString, base);
        QFETCH(QString, name);
        std::vector<MaskElement> masks(static_cast<size_t>(ids.size()));
        for (int i = 0; i < ids.size(); ++i)
            masks[static_cast<size_t>(i)].id = ids[i];
        QCOMPARE(::uniqueMaskName(masks, base), name);
    }

    void insertMaskNodeCopyPlacement()
    {
        DashConfig c;
        open(c);
        const MaskSnapshot saved = MaskSnapshot::of(maskAt(c, 1, 0));
        pugi::xml_node out;

        // Index equal to the count appends after the last mask.
        QVERIFY(c.insertMaskNodeCopy(1, 2, saved.record, saved.node(), c.maskInsertAnchor(1, 2), out));
        QCOMPARE(maskIds(c, 1), QStringLiteral("lap gear lap"));
        QCOMPARE(elementIds(c, 1), QStringLiteral("lap gear lap"));
        QCOMPARE(maskAt(c, 1, 2).node, out);

        // Index 0 without an anchor goes before the first mask; the page's
        // own parameters stay before it.
        QVERIFY(c.insertMaskNodeCopy(0, 0, saved.record, saved.node(), pugi::xml_node(), out));
        QCOMPARE(elementIds(c, 0), QStringLiteral("lap rpm speed title icon"));
        QCOMPARE(QByteArray(c.pageParamNode(0).first_child().name()), QByteArray("p"));

        // A page without masks gets the copy appended.
        QVERIFY(c.insertMaskNodeCopy(2, 0, saved.record, saved.node(), pugi::xml_node(), out));
        QCOMPARE(elementIds(c, 2), QStringLiteral("lap"));
        QCOMPARE(out.parent(), c.pageParamNode(2));
        QCOMPARE(ConfigSnapshot::pairingError(c), QString());

        // Refused: an anchor from another page, an index past the end, a bad page.
        const QByteArray before = ConfigSnapshot::documents(c);
        QVERIFY(!c.insertMaskNodeCopy(0, 1, saved.record, saved.node(), maskAt(c, 1, 0).node, out));
        QVERIFY(!out);
        QVERIFY(!c.insertMaskNodeCopy(1, 9, saved.record, saved.node(), pugi::xml_node(), out));
        QVERIFY(!c.insertMaskNodeCopy(-1, 0, saved.record, saved.node(), pugi::xml_node(), out));
        QCOMPARE(ConfigSnapshot::documents(c), before);
        QCOMPARE(ConfigSnapshot::pairingError(c), QString());
    }

    // A restored mask is read again from its new element (no handle into
    // freed XML), with the id and geometry it was saved with.
    void restoredMaskIsReadFromItsCopy()
    {
        DashConfig c;
        open(c);
        maskAt(c, 0, 0).x = 333; // the editor's value, ahead of the XML
        QUndoStack stack;
        stack.push(new DeleteCommand(&c, 0, 0));
        stack.undo();
        MaskElement& rpm = maskAt(c, 0, 0);
        QCOMPARE(rpm.x, 333);
        QCOMPARE(rpm.widgets.size(), size_t(2));
        // Editing a widget of the restored mask writes into the live document.
        setLabelTextParams(rpm.widgets[1].node, QStringLiteral("Revs"));
        setParamInt(rpm.widgets[0].node, "XPOS", 44);
        const QString xml = QString::fromUtf8(ConfigSnapshot::documents(c));
        QVERIFY(xml.contains(QLatin1String("<p n=\"TEXT\">Revs</p>")));
        QCOMPARE(rpm.widgets[0].node.parent(), rpm.node);
        QCOMPARE(ConfigSnapshot::pairingError(c), QString());
    }

    void undoDeleteFindsAnchorAtUndoTime()
    {
        DashConfig c;
        open(c);
        QUndoStack stack;
        stack.push(new DeleteCommand(&c, 0, 2)); // title
        stack.push(new DeleteCommand(&c, 0, 1)); // speed, the mask before it
        stack.undo();
        stack.undo();
        QCOMPARE(elementIds(c, 0), QStringLiteral("rpm speed title icon"));
        QCOMPARE(maskIds(c, 0), QStringLiteral("rpm speed title icon"));
    }

    void clearPageSkipsMaskWithoutElement()
    {
        DashConfig c;
        open(c);
        MaskElement ghost;
        ghost.id = "ghost";
        c.page(1)->masks.insert(c.page(1)->masks.begin() + 1, ghost);
        const QByteArray xml0 = ConfigSnapshot::documents(c);
        QUndoStack stack;
        stack.push(new ClearPageCommand(&c, 1));
        QVERIFY(c.page(1)->masks.empty());
        QCOMPARE(elementIds(c, 1), QString());
        stack.undo();
        QCOMPARE(maskIds(c, 1), QStringLiteral("lap gear"));
        QCOMPARE(ConfigSnapshot::documents(c), xml0);
        QCOMPARE(ConfigSnapshot::pairingError(c), QString());
    }

    void removeWidgetKeepsMaskGeometry()
    {
        DashConfig c;
        open(c);
        maskAt(c, 0, 0).w = 250;
        QVERIFY(!c.removeWidget(0, 0, 2));
        QVERIFY(!c.removeWidget(0, 4, 0));
        QVERIFY(c.removeWidget(0, 0, 0));
        const MaskElement& rpm = maskAt(c, 0, 0);
        QCOMPARE(rpm.widgets.size(), size_t(1));
        QCOMPARE(rpm.widgets[0].id, QStringLiteral("l1"));
        QCOMPARE(rpm.w, 250);
        QCOMPARE(rpm.id, QStringLiteral("rpm"));
        QVERIFY(!rpm.node.find_child_by_attribute("e", "c", "Digit"));
        QCOMPARE(ConfigSnapshot::pairingError(c), QString());
    }

    void removePageKeepsCountsInStep()
    {
        DashConfig c;
        open(c);
        QCOMPARE(c.devices[1]->pageCount, 1);
        QVERIFY(c.removePage(3));
        QCOMPARE(c.devices[1]->pageCount, 0);
        QCOMPARE(ConfigSnapshot::pairingError(c), QString());
        c.devices[0]->pageCount = 0;
        QVERIFY(c.removePage(0));
        QCOMPARE(c.devices[0]->pageCount, 0); // never below zero
        QVERIFY(!c.removePage(5));
        QVERIFY(!c.removePage(-1));
    }

    // Commands keep what to write, not where: a reorder or a delete and undo
    // between a move and its undo replaces every element of the mask.
    void moveSurvivesElementReplacement_data()
    {
        QTest::addColumn<CommandMaker>("between");
        QTest::newRow("reorder") << reordering(0, 0, 3);
        QTest::newRow("delete") << deleting(0, 0);
        QTest::newRow("clear page") << clearing(0);
        QTest::newRow("remove page") << removingPage(0);
    }

    void moveSurvivesElementReplacement()
    {
        QFETCH(CommandMaker, between);
        DashConfig c;
        open(c);
        const QByteArray xml0 = ConfigSnapshot::documents(c);
        QUndoStack stack;
        stack.push(moving(0, 0, QRect(30, 40, 150, 77), true, true).make(c));
        const QByteArray moved = ConfigSnapshot::documents(c);
        stack.push(between.make(c));
        QCOMPARE(stack.count(), 2);
        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(c), moved);
        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(c), xml0);
        stack.redo();
        QCOMPARE(ConfigSnapshot::documents(c), moved);
        stack.redo();
        stack.undo();
        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(c), xml0);
        QCOMPARE(ConfigSnapshot::pairingError(c), QString());
    }

    void pureMoveTouchesOnlyPosition()
    {
        DashConfig c;
        open(c);
        const QByteArray before = ConfigSnapshot::documents(c);
        c.devices[0]->dirty = false;
        QUndoStack stack;
        stack.push(moving(0, 0, QRect(40, 50, 200, 100), true, true).make(c));
        const MaskElement& rpm = maskAt(c, 0, 0);
        QCOMPARE(QRect(rpm.x, rpm.y, rpm.w, rpm.h), QRect(40, 50, 200, 100));
        QCOMPARE(paramValue(rpm.node, "XPOS"), QByteArray("40"));
        QCOMPARE(paramValue(rpm.node, "YPOS"), QByteArray("50"));
        QVERIFY(c.devices[0]->dirty);
        // Nothing else changed: outlines, children and art stay.
        setParamInt(rpm.node, "XPOS", 10);
        setParamInt(rpm.node, "YPOS", 20);
        QCOMPARE(ConfigSnapshot::documents(c), before);
    }

    void moveKeepsPositionSuffix()
    {
        DashConfig c;
        open(c);
        QUndoStack stack;
        stack.push(moving(0, 2, QRect(12, 3, 400, 31), false, true).make(c));
        QCOMPARE(paramValue(maskAt(c, 0, 2).node, "XPOS"), QByteArray("12,5"));
        // The child's position is scaled by half, its suffix kept.
        const pugi::xml_node label = maskAt(c, 0, 2).widgets[0].node;
        QCOMPARE(paramValue(label, "XPOS"), QByteArray("0,2"));
        QCOMPARE(paramValue(label, "WIDTH"), QByteArray("400"));
        stack.undo();
        QCOMPARE(paramValue(maskAt(c, 0, 2).node, "XPOS"), QByteArray("0,5"));
    }

    void rescaleChildren()
    {
        ConfigFixture cfg;
        cfg.device().page("P").mask(Fx::mask("m", 0, 0, 100, 50)
                                         .add(Fx::digit("d", 10, 7, 0, 30).p("XIMG", 5).p("YIMG", 3))
                                         .add(Fx::icon("i", 10, 10, 20, 20)));
        DashConfig c;
        QVERIFY(c.load(cfg.writeTempZip()));
        const QByteArray xml0 = ConfigSnapshot::documents(c);
        QUndoStack stack;
        stack.push(moving(0, 0, QRect(0, 0, 200, 50), false, true).make(c));
        const MaskElement& m = maskAt(c, 0, 0);
        const pugi::xml_node digit = m.widgets[0].node;
        QCOMPARE(paramValue(digit, "XPOS"), QByteArray("20"));
        QCOMPARE(paramValue(digit, "YPOS"), QByteArray("7"));
        QCOMPARE(paramValue(digit, "WIDTH"), QByteArray("0"));
        QCOMPARE(paramValue(digit, "XIMG"), QByteArray("10"));
        QCOMPARE(paramValue(digit, "YIMG"), QByteArray("3"));
        QCOMPARE(QRect(m.widgets[0].x, m.widgets[0].y, m.widgets[0].w, m.widgets[0].h), QRect(20, 7, 0, 30));
        // Icons are not rescaled.
        QCOMPARE(paramValue(m.node.find_child_by_attribute("e", "c", "AiM_Icona"), "XPOS"), QByteArray("10"));
        stack.undo();
        QCOMPARE(ConfigSnapshot::documents(c), xml0);
        QCOMPARE(maskAt(c, 0, 0).widgets[0].x, 10);
    }

    void scaleHotMouseLines_data()
    {
        QTest::addColumn<QString>("outline");
        QTest::addColumn<QString>("cls");
        QTest::addColumn<QSize>("from");
        QTest::addColumn<QSize>("to");
        QTest::addColumn<bool>("includeSmall");
        QTest::addColumn<QString>("expected");
        const QString box = "0,0,100,0,100,50,0,50,0,0";
        QTest::newRow("whole box") << box << "Digit" << QSize(100, 50) << QSize(150, 100) << false
                                   << "0,0,150,0,150,100,0,100,0,0";
        QTest::newRow("any class") << box << "Axis" << QSize(100, 50) << QSize(150, 100) << false
                                   << "0,0,150,0,150,100,0,100,0,0";
        QTest::newRow("rounded half away") << "0,0,5,0,5,5,0,5" << "Label" << QSize(5, 5) << QSize(3, 3) << false
                                           << "0,0,3,0,3,3,0,3";
        QTest::newRow("small part left alone") << "0,0,70,0,70,50,0,50,0,0" << "Digit" << QSize(100, 50)
                                               << QSize(150, 100) << false << "0,0,70,0,70,50,0,50,0,0";
        QTest::newRow("small part when asked") << "0,0,70,0,70,50,0,50,0,0" << "Digit" << QSize(100, 50)
                                               << QSize(200, 100) << true << "0,0,140,0,140,100,0,100,0,0";
        QTest::newRow("small part of other class") << "0,0,70,0,70,50,0,50,0,0" << "Axis" << QSize(100, 50)
                                                   << QSize(200, 100) << true << "0,0,70,0,70,50,0,50,0,0";
        QTest::newRow("odd count") << "0,0,100,0,100" << "Digit" << QSize(100, 50) << QSize(200, 100) << false
                                   << "0,0,100,0,100";
        QTest::newRow("four numbers") << "0,0,100,50" << "Digit" << QSize(100, 50) << QSize(200, 100) << false
                                      << "0,0,100,50";
        QTest::newRow("beyond 100000") << "0,0,100001,0,100001,50,0,50" << "Digit" << QSize(100, 50)
                                       << QSize(200, 100) << false << "0,0,100001,0,100001,50,0,50";
        QTest::newRow("negative") << "-1,0,100,0,100,50,0,50" << "Digit" << QSize(100, 50) << QSize(200, 100)
                                  << false << "-1,0,100,0,100,50,0,50";
        QTest::newRow("not a number") << "0,0,1e2,0,100,50,0,50" << "Digit" << QSize(100, 50) << QSize(200, 100)
                                      << false << "0,0,1e2,0,100,50,0,50";
        QTest::newRow("empty part") << "0,0,,0,100,50,0,50" << "Digit" << QSize(100, 50) << QSize(200, 100)
                                    << false << "0,0,,0,100,50,0,50";
        QTest::newRow("flat") << "0,0,100,0,100,0,0,0" << "Digit" << QSize(100, 50) << QSize(200, 100) << false
                              << "0,0,100,0,100,0,0,0";
        QTest::newRow("blanks") << " 0, 0,100,0,100,50,0,50" << "Digit" << QSize(100, 50) << QSize(200, 100)
                                << false << "0,0,200,0,200,100,0,100";
        QTest::newRow("same size") << box << "Digit" << QSize(100, 50) << QSize(100, 50) << false << box;
        QTest::newRow("zero target") << box << "Digit" << QSize(100, 50) << QSize(0, 100) << false << box;
    }

    void scaleHotMouseLines()
    {
        QFETCH(QString, outline);
        QFETCH(QString, cls);
        QFETCH(QSize, from);
        QFETCH(QSize, to);
        QFETCH(bool, includeSmall);
        QFETCH(QString, expected);
        pugi::xml_document doc;
        pugi::xml_node mask = doc.append_child("e");
        mask.append_attribute("c") = "GMaskParam";
        pugi::xml_node child = mask.append_child("e");
        child.append_attribute("c") = cls.toUtf8().constData();
        setParam(child, "LINES_X_HOT_MOUSE", outline.toUtf8());
        DashConfig c;
        const int count = c.scaleHotMouseLines(mask, from.width(), from.height(), to.width(), to.height(),
                                               includeSmall);
        QCOMPARE(QString::fromUtf8(paramValue(child, "LINES_X_HOT_MOUSE")), expected);
        QCOMPARE(count, expected == outline ? 0 : 1);
    }

    void resizeRewritesOutlinesAndUndoRestoresThem()
    {
        DashConfig c;
        open(c);
        QUndoStack stack;
        stack.push(moving(0, 0, QRect(10, 20, 133, 77)).make(c));
        const MaskElement& rpm = maskAt(c, 0, 0);
        QCOMPARE(paramValue(rpm.widgets[0].node, "LINES_X_HOT_MOUSE"), QByteArray("0,0,67,0,133,0,133,77,0,77,0,0"));
        // The label's outline covers a small part of the mask: it stays.
        QCOMPARE(paramValue(rpm.widgets[1].node, "LINES_X_HOT_MOUSE"), QByteArray("0,70,40,70,40,90,0,90,0,70"));
        stack.undo();
        // Scaling 67 back would give 101: the undo puts the text back as it
        // was instead.
        QCOMPARE(paramValue(maskAt(c, 0, 0).widgets[0].node, "LINES_X_HOT_MOUSE"),
                 QByteArray("0,0,100,0,200,0,200,100,0,100,0,0"));
    }

    void textChildGeometry()
    {
        DashConfig c;
        open(c);
        const std::vector<ChildGeometrySnapshot> rpm = c.textChildGeometry(0, 0);
        QCOMPARE(rpm.size(), size_t(2));
        QCOMPARE(rpm[0].id, QStringLiteral("d1"));
        QCOMPARE(rpm[0].xpos, QStringLiteral("10"));
        QCOMPARE(rpm[0].hotMouseLines, QStringLiteral("0,0,100,0,200,0,200,100,0,100,0,0"));
        QCOMPARE(rpm[1].id, QStringLiteral("l1"));
        QCOMPARE(rpm[1].width, QStringLiteral("0"));
        QCOMPARE(c.textChildGeometry(0, 1).size(), size_t(0)); // a bar only
        QCOMPARE(c.textChildGeometry(0, 2)[0].xpos, QStringLiteral("0,2"));
        QCOMPARE(c.textChildGeometry(0, 9).size(), size_t(0));
        QCOMPARE(c.textChildGeometry(7, 0).size(), size_t(0));
    }
};

KORV_GUI_TEST_MAIN(UndoTest)
#include "tst_undo.moc"
