#include "model/ElementIds.h"

#include "model/InstallRoots.h"
#include "model/XmlParams.h"

namespace {

QString groupOf(const QString& id)
{
    const int underscore = id.indexOf(QLatin1Char('_'));
    return underscore < 0 ? id : id.left(underscore);
}

} // namespace

QString elementGroup(pugi::xml_node element)
{
    return groupOf(QString::fromUtf8(element.attribute("i").value()));
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

namespace {

int leadingDigits(const QString& id)
{
    int digits = 0;
    while (digits < id.size() && id.at(digits).isDigit() && id.at(digits).unicode() < 128)
        ++digits;
    return digits;
}

// The n-th renumbered form of an id with `digits` leading digits.
QString renumberedForm(const QString& id, int digits, int n)
{
    return digits > 0 ? QStringLiteral("%1%2").arg(n, digits, 10, QLatin1Char('0')).arg(id.mid(digits))
                      : id + QLatin1Char('_') + QString::number(n);
}

// The first renumbered form not in `used`; the last one when all are.
QString renumberedId(const QString& id, const QSet<QString>& used)
{
    const int digits = leadingDigits(id);
    QString candidate;
    for (int n = 1; n <= 9999; ++n) {
        candidate = renumberedForm(id, digits, n);
        if (!used.contains(candidate))
            return candidate;
    }
    return candidate;
}

} // namespace

QString newElementId(pugi::xml_node mask, const QString& wanted, pugi::xml_node self)
{
    QSet<QString> ids;
    QSet<QString> groups;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (e == self)
            continue;
        const QString id = QString::fromUtf8(e.attribute("i").value());
        ids.insert(id);
        groups.insert(groupOf(id));
    }
    const auto fits = [&](const QString& id) { return !ids.contains(id) && !groups.contains(groupOf(id)); };
    if (fits(wanted))
        return wanted;
    const int digits = leadingDigits(wanted);
    // Without leading digits every form keeps the group: none can fit.
    if (digits > 0) {
        for (int n = 1; n <= 9999; ++n) {
            const QString candidate = renumberedForm(wanted, digits, n);
            if (fits(candidate))
                return candidate;
        }
    }
    return ids.contains(wanted) ? renumberedId(wanted, ids) : wanted;
}
