#include "editing/AxisMergeCommand.h"

#include "model/DashConfig.h"
#include "model/ElementIds.h"
#include "model/XmlParams.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <utility>

namespace {

QString idOf(pugi::xml_node e)
{
    return QString::fromUtf8(e.attribute("i").value());
}

pugi::xml_node axisNamed(pugi::xml_node mask, const QString& id)
{
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e")) {
        if (hasClass(e, "Axis") && idOf(e) == id)
            return e;
    }
    return {};
}

// The place of `element` among the mask's elements.
int placeOf(pugi::xml_node mask, pugi::xml_node element)
{
    int place = 0;
    for (pugi::xml_node e = mask.child("e"); e; e = e.next_sibling("e"), ++place) {
        if (e == element)
            return place;
    }
    return place;
}

QByteArray xmlOf(pugi::xml_node node)
{
    struct Writer : pugi::xml_writer {
        QByteArray out;
        void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), qsizetype(size)); }
    } writer;
    node.print(writer, "", pugi::format_raw);
    return writer.out;
}

} // namespace

AxisMergeCommand::AxisMergeCommand(DashConfig* config, int page, int mask, const std::vector<pugi::xml_node>& axes,
                                   QHash<QString, QString>* idMap, QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_config(config)
    , m_page(page)
    , m_mask(mask)
    , m_idMapTarget(idMap)
{
    for (const pugi::xml_node axis : axes) {
        if (axis)
            m_axes.append_copy(axis);
    }
}

// Runs the merge once and notes what it did: the ids of the elements it
// added, and copies of the unbound ones it replaced, with their places.
void AxisMergeCommand::firstMerge()
{
    const MaskElement* mask = m_config ? m_config->maskAt(m_page, m_mask) : nullptr;
    if (!mask || !mask->node)
        return;
    QHash<QString, QByteArray> before;
    QHash<QString, int> places;
    pugi::xml_document copies;
    for (pugi::xml_node e = mask->node.child("e"); e; e = e.next_sibling("e")) {
        if (!hasClass(e, "Axis") || before.contains(idOf(e)))
            continue;
        before.insert(idOf(e), xmlOf(e));
        places.insert(idOf(e), placeOf(mask->node, e));
        copies.append_copy(e);
    }
    std::vector<pugi::xml_node> sources;
    for (pugi::xml_node axis = m_axes.first_child(); axis; axis = axis.next_sibling())
        sources.push_back(axis);
    QHash<QString, QString> idMap;
    m_merged = m_config->mergeAxisElements(m_page, m_mask, sources, &idMap) > 0;
    if (m_idMapTarget)
        *m_idMapTarget = idMap;
    m_idMapTarget = nullptr;
    if (!m_merged)
        return;

    // An element the merge put in under an id the mask held before replaced
    // that one; an element the mask had, still as it was, was shared.
    const pugi::xml_node maskNode = m_config->maskAt(m_page, m_mask)->node;
    QStringList targets = idMap.values();
    std::sort(targets.begin(), targets.end());
    targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
    for (const QString& id : targets) {
        const pugi::xml_node now = axisNamed(maskNode, id);
        if (!now)
            continue;
        if (!before.contains(id)) {
            m_addedIds << id;
        } else if (xmlOf(now) != before.value(id)) {
            m_addedIds << id;
            m_replacedIds << id;
        }
    }
    // The replaced ones in the order of their places, each once.
    std::vector<std::pair<int, QString>> order;
    for (const QString& id : m_replacedIds)
        order.emplace_back(places.value(id), id);
    std::sort(order.begin(), order.end());
    m_replacedIds.clear();
    for (const auto& [place, id] : order) {
        m_replacedIds << id;
        m_replaced.elements.append_copy(axisNamed(copies, id));
        m_replaced.places.push_back(place);
    }
}

bool AxisMergeCommand::swap(const QStringList& ids, Kept& into, Kept& back)
{
    MaskElement* mask = m_config ? m_config->maskAt(m_page, m_mask) : nullptr;
    if (!mask || !mask->node)
        return false;
    pugi::xml_node maskNode = mask->node;

    // Places first, all taken before anything moves, then the elements.
    std::vector<std::pair<int, pugi::xml_node>> out;
    for (const QString& id : ids) {
        if (const pugi::xml_node e = axisNamed(maskNode, id))
            out.emplace_back(placeOf(maskNode, e), e);
    }
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    into.elements.reset();
    into.places.clear();
    for (const auto& [place, e] : out) {
        into.elements.append_copy(e);
        into.places.push_back(place);
    }
    for (const auto& entry : out)
        maskNode.remove_child(entry.second);

    // Ascending places: each goes where it stood, the ones before it
    // already back.
    size_t k = 0;
    for (pugi::xml_node e = back.elements.first_child(); e; e = e.next_sibling(), ++k) {
        const int place = k < back.places.size() ? back.places[k] : -1;
        pugi::xml_node at = maskNode.child("e");
        for (int n = 0; at && n < place; ++n)
            at = at.next_sibling("e");
        if (at && place >= 0)
            maskNode.insert_copy_before(e, at);
        else
            maskNode.append_copy(e);
    }
    back.elements.reset();
    back.places.clear();

    m_config->reparseMaskKeepingGeometry(*mask);
    m_config->markPageDirty(m_page);
    return true;
}

void AxisMergeCommand::redo()
{
    if (std::exchange(m_firstRedo, false)) {
        firstMerge();
        return;
    }
    // A merge that added nothing has nothing to bring back.
    if (m_merged || m_addedIds.isEmpty())
        return;
    // An id the merge used that another channel element took meanwhile (a
    // rebind that parted two widgets): the pasted widgets would show that
    // one, and the mask would hold the id twice. The step is not redone,
    // and the window says why.
    if (const MaskElement* mask = m_config->maskAt(m_page, m_mask); mask && mask->node) {
        const QSet<QString> taken = axisIdsOf(mask->node);
        for (const QString& id : m_addedIds) {
            if (taken.contains(id) && !m_replacedIds.contains(id)) {
                m_config->refusedStep = QCoreApplication::translate(
                                            "AxisMergeCommand",
                                            "the channel element %1 the paste added is used by another element now")
                                            .arg(id);
                return;
            }
        }
    }
    m_merged = swap(m_replacedIds, m_replaced, m_added);
}

void AxisMergeCommand::undo()
{
    if (!m_merged)
        return;
    m_merged = !swap(m_addedIds, m_added, m_replaced);
}
