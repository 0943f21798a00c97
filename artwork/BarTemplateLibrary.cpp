#include "artwork/BarTemplateLibrary.h"

#include "model/XmlParams.h"

#include <cstring>

namespace {

// Every template shares one two-step 0..100 scale whose step images are the
// bar's own m4on0/m4off pictures; templates differ in texts, size and unit.
const char* const kScaleXml =
    "<e c=\"ScaleFSV\" i=\"00\">"
    "<p n=\"FORMAT\">step</p>"
    "<p n=\"NOME_SCALA\">100</p>"
    "<p n=\"PATH_IMAGE\">m4on0.png</p>"
    "<p n=\"PATH_IMG_OFF\">m4off.tgz</p>"
    "<e c=\"StepScale\" i=\"0\">"
    "<p n=\"MODO_USO\">EDITABLE</p>"
    "<p n=\"PATH_IMG_ON\">m4on0.tgz</p>"
    "<p n=\"POS_VAL_SCALA\">0</p>"
    "<p n=\"VAL_SCALA\">0</p>"
    "</e>"
    "<e c=\"StepScale\" i=\"1\">"
    "<p n=\"MODO_USO\">EDITABLE</p>"
    "<p n=\"PATH_IMG_ON\">m4on0.tgz</p>"
    "<p n=\"POS_VAL_SCALA\">100</p>"
    "<p n=\"VAL_SCALA\">100</p>"
    "</e>"
    "</e>";

BarTemplate makeTemplate(const char* id, const char* title, const char* description, int kind,
                         int width, int height, const char* unit, const char* rangeText)
{
    BarTemplate t;
    t.id = QString::fromUtf8(id);
    t.title = QString::fromUtf8(title);
    t.description = QString::fromUtf8(description);
    t.kind = kind;
    t.width = width;
    t.height = height;
    t.unit = QString::fromUtf8(unit);
    t.scaleXml = QString::fromUtf8(kScaleXml);
    t.rangeText = QString::fromUtf8(rangeText);
    return t;
}

QList<BarTemplate> buildCatalogue()
{
    return {
        makeTemplate("rpm_full", "RPM bar (full strip)",
                     "800x236 RPM strip. Canonical structure \u2014 hardware-verified on MXG Strada 2026-05-11.",
                     0, 800, 236, "rpm", "0\u201322k rpm"),
        makeTemplate("rpm_compact", "RPM bar (compact)",
                     "800x90 thin RPM strip \u2014 good for second-page status row.",
                     0, 800, 90, "rpm", "0\u201322k rpm (thin)"),
        makeTemplate("speed_kmh", "Speed bar (km/h)", "360x258 speed bar. Canonical structure.",
                     1, 360, 258, "km/h", "0\u2013340 km/h"),
        makeTemplate("speed_mph", "Speed bar (mph)", "Speed bar for imperial-units customers.",
                     2, 360, 258, "mph", "0\u2013220 mph"),
        makeTemplate("pressure", "Pressure bar", "Bar for oil pressure / boost / fuel rail.",
                     3, 360, 90, "bar", "0\u201320 bar"),
        makeTemplate("temperature", "Temperature bar", "Bar for coolant / oil / IAT.",
                     4, 360, 90, "C", "0\u2013250 \u00b0C"),
        makeTemplate("trim", "Trim indicator (-100..+100 %)",
                     "Bipolar bar for Port-Trim / STB-Trim / heel-style channels.",
                     5, 30, 150, "%", "-100..+100%"),
        makeTemplate("analog_percent", "Analog bar (0..100%)",
                     "Generic 0..100 % bar for TPS / throttle / fraction channels.",
                     6, 360, 90, "%", "0\u2013100%"),
        makeTemplate("generic", "Generic bar (0\u2013100)", "Single-scale fallback for uncategorised channels.",
                     7, 360, 90, "", "0\u2013100"),
        makeTemplate("vertical_small", "Vertical bar (0\u201310)",
                     "Generic small-range vertical bar \u2014 for gear position, lap delta, small-range analog.",
                     7, 30, 150, "", "0\u201310"),
        makeTemplate("horizontal_small", "Horizontal bar (0\u201310)",
                     "Generic small-range horizontal bar \u2014 for gear position, lap delta, small-range analog.",
                     7, 360, 90, "", "0\u201310"),
        makeTemplate("vertical_trim_small", "Vertical bar (-2 to 10)",
                     "Trim-style vertical bar with slight negative range \u2014 for boat trim, ride height, balance indicators.",
                     5, 30, 150, "%", "-2..+10"),
    };
}

// Removes every child <e c=cls>, taking the next sibling before each removal.
void removeChildrenOfClass(pugi::xml_node parent, const char* cls)
{
    pugi::xml_node child = parent.child("e");
    while (child) {
        const pugi::xml_node next = child.next_sibling("e");
        if (hasClass(child, cls))
            parent.remove_child(child);
        child = next;
    }
}

// Text of the last <p n=name>: the bar's own position, which the firmware
// copy must follow even when an editor left a duplicate behind.
QByteArray lastParamText(pugi::xml_node node, const char* name)
{
    QByteArray text;
    for (pugi::xml_node p = node.child("p"); p; p = p.next_sibling("p")) {
        if (std::strcmp(p.attribute("n").value(), name) == 0)
            text = QByteArray(p.text().get());
    }
    return text;
}

// Steps shared by replaceScales and applyTemplate: swap the scales, then
// normalise the firmware parameters; false when the scale could not be added.
bool swapScales(pugi::xml_node bargraph, const BarTemplate& tpl)
{
    removeChildrenOfClass(bargraph, "UDM");
    removeChildrenOfClass(bargraph, "ScaleFSV");
    pugi::xml_document scratch;
    const QByteArray xml = tpl.scaleXml.toUtf8();
    if (!scratch.load_buffer(xml.constData(), size_t(xml.size())) || !scratch.first_child()
        || !xmlNestingWithin(scratch))
        return false;
    bargraph.append_copy(scratch.first_child());
    BarTemplateLibrary::writeFirmwareParams(bargraph);
    return true;
}

bool hasElementChild(pugi::xml_node node)
{
    return node && node.child("e");
}

} // namespace

const QList<BarTemplate>& BarTemplateLibrary::catalogue()
{
    static const QList<BarTemplate> list = buildCatalogue();
    return list;
}

const BarTemplate* BarTemplateLibrary::findById(const QString& id)
{
    for (const BarTemplate& t : catalogue()) {
        if (t.id == id)
            return &t;
    }
    return nullptr;
}

QString BarTemplateLibrary::templateIdForKind(int kind)
{
    switch (kind) {
    case 0: return QStringLiteral("rpm_full");
    case 1: return QStringLiteral("speed_kmh");
    case 2: return QStringLiteral("speed_mph");
    case 3: return QStringLiteral("pressure");
    case 4: return QStringLiteral("temperature");
    case 5: return QStringLiteral("trim");
    case 6: return QStringLiteral("analog_percent");
    case 7: return QStringLiteral("generic");
    default: return QString();
    }
}

const BarTemplate* BarTemplateLibrary::templateForKind(int kind)
{
    const QString id = templateIdForKind(kind);
    return id.isNull() ? nullptr : findById(id);
}

int BarTemplateLibrary::classifyChannel(const QString& name, const QString& unit)
{
    const QString n = name.toLower().trimmed();
    const QString u = unit.toLower().trimmed();
    if (u == QLatin1String("rpm"))
        return 0;
    if (n.contains(QLatin1String("rpm")) && !n.contains(QLatin1String("time")))
        return 0;
    if (u == QLatin1String("km/h") || u == QLatin1String("knots") || u == QLatin1String("m/s"))
        return 1;
    if (u == QLatin1String("mph"))
        return 2;
    if (u == QLatin1String("bar") || u == QLatin1String("psi") || u == QLatin1String("kpa")
        || u == QLatin1String("mbar"))
        return 3;

    // Degree signs come in many spellings, including the replacement
    // character left by a mis-decoded export.
    QString t = u;
    int lead = 0;
    while (lead < t.size()
           && (t[lead] == QChar(0x00B0) || t[lead] == QChar(0xFFFD) || t[lead] == QChar(0x2103)
               || t[lead] == QChar(0x2109)))
        ++lead;
    t = t.mid(lead);
    if (t.endsWith(QChar(0x00B0)))
        t.chop(1);
    if (t == QLatin1String("c") || t == QLatin1String("f"))
        return 4;

    if (n.contains(QLatin1String("trim")) || n.contains(QLatin1String("heel")))
        return 5;
    if (u == QLatin1String("%"))
        return 6;
    return 7;
}

bool BarTemplateLibrary::hasTrapezioChild(pugi::xml_node mask)
{
    if (!mask)
        return false;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "BargraphTrapezio"))
            return true;
    }
    return false;
}

bool BarTemplateLibrary::matchesUserChoice(pugi::xml_node mask, int kind)
{
    const BarTemplate* tpl = templateForKind(kind);
    if (!mask || !tpl)
        return false;
    pugi::xml_node bar;
    for (pugi::xml_node e = mask.child("e"); e && !bar; e = e.next_sibling("e")) {
        if (hasClass(e, "BargraphTrapezio"))
            bar = e;
    }
    if (!bar)
        return false;
    bool hasControl = false;
    for (pugi::xml_node p = bar.child("p"); p; p = p.next_sibling("p")) {
        if (std::strcmp(p.attribute("n").value(), "CTRL_SCALA_SCELTA") == 0) {
            hasControl = true;
            break;
        }
    }
    const QString choice = QString::fromUtf8(lastParamText(bar, "SCELTA_UTENTE"));
    return hasControl && choice == tpl->unit;
}

bool BarTemplateLibrary::replaceScales(pugi::xml_node bargraph, const BarTemplate* tpl)
{
    if (!bargraph || !tpl || !hasClass(bargraph, "BargraphTrapezio"))
        return false;
    return swapScales(bargraph, *tpl);
}

int BarTemplateLibrary::applyTemplate(pugi::xml_node mask, const BarTemplate* tpl)
{
    if (!hasElementChild(mask) || !tpl)
        return 0;
    int count = 0;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "BargraphTrapezio") && swapScales(e, *tpl))
            ++count;
    }
    return count;
}

int BarTemplateLibrary::applyTemplateForKind(pugi::xml_node mask, int kind)
{
    if (!hasElementChild(mask))
        return 0;
    int count = 0;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (!hasClass(e, "BargraphTrapezio"))
            continue;
        if (const BarTemplate* tpl = templateForKind(kind); tpl && replaceScales(e, tpl))
            ++count;
    }
    return count;
}

void BarTemplateLibrary::writeFirmwareParams(pugi::xml_node bargraph)
{
    if (!bargraph)
        return;
    const QByteArray xpos = lastParamText(bargraph, "XPOS");
    const QByteArray ypos = lastParamText(bargraph, "YPOS");
    setParamText(bargraph, "CTRL_SCALA_SCELTA", QStringLiteral("00"));
    setParamText(bargraph, "FW_DEBUG", QStringLiteral("0"));
    setParamText(bargraph, "POS_ALIGN", QString());
    setParamText(bargraph, "SCELTA_UTENTE", QStringLiteral("00"));
    setParamText(bargraph, "USA_CONTROLLI_RIPOSIZIONABILI", QStringLiteral("0"));
    if (!xpos.isEmpty())
        setParamText(bargraph, "XPOS_FW", QString::fromUtf8(xpos));
    if (!ypos.isEmpty())
        setParamText(bargraph, "YPOS_FW", QString::fromUtf8(ypos));
}

void BarTemplateLibrary::setParamText(pugi::xml_node element, const char* name, const QString& value)
{
    setParam(element, name, value.toUtf8());
}
