#include "editing/WidgetDeleteCommand.h"

#include "model/DashConfig.h"
#include "model/XmlParams.h"

#include <QCoreApplication>

namespace {

// The widget goes back to its place among all the mask's elements: its
// index among the widgets alone would put a last widget after the channel
// elements that followed it.
void putBackInPlace(pugi::xml_node maskNode, pugi::xml_node restored, int position)
{
    if (position < 0 || !restored)
        return;
    int k = 0;
    for (pugi::xml_node e = maskNode.child("e"); e; e = e.next_sibling("e")) {
        if (e == restored)
            continue;
        if (k++ == position) {
            maskNode.insert_move_before(restored, e);
            return;
        }
    }
    maskNode.append_move(restored);
}

} // namespace

WidgetDeleteCommand::WidgetDeleteCommand(DashConfig* config, int page, int mask, int widget, QUndoCommand* parent)
    : QUndoCommand(parent)
    , m_config(config)
    , m_page(page)
    , m_mask(mask)
    , m_widget(widget)
{
    if (config && config->copyWidgetXml(page, mask, widget, m_saved)) {
        const WidgetModel& w = config->pages[static_cast<size_t>(page)].masks[static_cast<size_t>(mask)]
                                   .widgets[static_cast<size_t>(widget)];
        const QString id = w.id;
        m_elementPosition = 0;
        for (pugi::xml_node e = w.node.previous_sibling("e"); e; e = e.previous_sibling("e"))
            ++m_elementPosition;
        setText(QCoreApplication::translate("WidgetDeleteCommand", "Delete widget %1").arg(id));
    } else {
        setText(QCoreApplication::translate("WidgetDeleteCommand", "Delete widget"));
    }
}

WidgetDeleteCommand::~WidgetDeleteCommand() = default;

void WidgetDeleteCommand::redo()
{
    const bool first = m_firstRedo;
    m_firstRedo = false;
    // The copy the undo puts back is the widget as this redo takes it away:
    // edits made to it since (a font or size change) are not this step's to
    // take back.
    if (!first && m_config) {
        pugi::xml_document now;
        const MaskElement* mask = m_config->maskAt(m_page, m_mask);
        if (mask && m_config->copyWidgetXml(m_page, m_mask, m_widget, now)) {
            m_saved.reset();
            m_saved.append_copy(now.first_child());
            const pugi::xml_node w = mask->widgets[static_cast<size_t>(m_widget)].node;
            m_elementPosition = 0;
            for (pugi::xml_node e = w.previous_sibling("e"); e; e = e.previous_sibling("e"))
                ++m_elementPosition;
        }
    }
    // Without a copy there would be nothing to put back: such a delete never
    // stays on the stack.
    m_done = m_config && m_saved.first_child() && m_config->removeWidget(m_page, m_mask, m_widget);
    if (first && !m_done)
        setObsolete(true);
}

void WidgetDeleteCommand::undo()
{
    if (!m_config || !m_done)
        return;
    m_done = false;
    const int index = m_config->insertWidget(m_page, m_mask, m_saved.first_child(), 0, 0, m_widget,
                                             DashConfig::WidgetIdUse::Restore);
    const MaskElement* mask = m_config->maskAt(m_page, m_mask);
    if (index < 0 || !mask || index >= static_cast<int>(mask->widgets.size()))
        return;
    // An inserted copy gets firmware positions like a pasted one; the widget
    // that comes back keeps the ones it had (or none), as it was deleted.
    const pugi::xml_node restored = mask->widgets[static_cast<size_t>(index)].node;
    putBackInPlace(mask->node, restored, m_elementPosition);
    for (const char* name : {"XPOS_FW", "YPOS_FW"}) {
        const pugi::xml_node saved = m_saved.first_child().find_child_by_attribute("p", "n", name);
        if (saved)
            setParam(restored, name, QByteArray(saved.text().get()));
        else
            removeParams(restored, name);
    }
}
