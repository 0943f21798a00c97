#include "model/ElementIds.h"

#include "model/InstallRoots.h"
#include "model/XmlParams.h"

QString elementGroup(pugi::xml_node element)
{
    const QString id = QString::fromUtf8(element.attribute("i").value());
    const int underscore = id.indexOf(QLatin1Char('_'));
    return underscore < 0 ? id : id.left(underscore);
}

bool isBarElement(pugi::xml_node element)
{
    return hasClass(element, "Bargraph") || hasClass(element, "BargraphTrapezio");
}

namespace {

// The element whose group an edit of `selected` reaches: itself when its
// group holds a bar; else (a caption beside the bars) the bar the scale
// controls show, the mask's first bar with a scale.
pugi::xml_node barScopeAnchor(pugi::xml_node selected)
{
    const QString group = elementGroup(selected);
    pugi::xml_node firstScaled;
    for (pugi::xml_node e = selected.parent().child("e"); e; e = e.next_sibling("e")) {
        if (!isBarElement(e))
            continue;
        if (elementGroup(e) == group)
            return selected;
        if (!firstScaled && findScaleFsvNode(e))
            firstScaled = e;
    }
    return firstScaled ? firstScaled : selected;
}

} // namespace

bool isBarInScope(pugi::xml_node bar, pugi::xml_node selected)
{
    if (!isBarElement(bar))
        return false;
    return !selected || elementGroup(bar) == elementGroup(barScopeAnchor(selected));
}

QSet<QString> axisIdsOf(pugi::xml_node mask)
{
    QSet<QString> ids;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "Axis"))
            ids.insert(QString::fromUtf8(e.attribute("i").value()));
    }
    return ids;
}

QSet<QString> elementIdsOf(pugi::xml_node mask)
{
    QSet<QString> ids;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e"))
        ids.insert(QString::fromUtf8(e.attribute("i").value()));
    return ids;
}

QString renumberedId(const QString& id, const QSet<QString>& used)
{
    int digits = 0;
    while (digits < id.size() && id.at(digits).isDigit() && id.at(digits).unicode() < 128)
        ++digits;
    const QString rest = id.mid(digits);
    QString candidate;
    for (int n = 1; n <= 9999; ++n) {
        candidate = digits > 0 ? QStringLiteral("%1%2").arg(n, digits, 10, QLatin1Char('0')).arg(rest)
                               : id + QLatin1Char('_') + QString::number(n);
        if (!used.contains(candidate))
            return candidate;
    }
    return candidate;
}
