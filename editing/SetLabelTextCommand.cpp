#include "editing/SetLabelTextCommand.h"

#include "model/DashConfig.h"
#include "model/XmlParams.h"

#include <QCoreApplication>

namespace {
const char* const kAutoFlag = "CONTROLLO_NO_AUTOAGGIORNABILE";
}

SetLabelTextCommand::SetLabelTextCommand(DashConfig* config, int page, int mask, int widget, const QString& oldValue,
           const QString& newValue)
    : WidgetPropertyCommand(config, page, mask, widget, oldValue, newValue)
{
    setText(QCoreApplication::translate("SetLabelTextCommand", "Rename Label"));
    const MaskElement* m = config ? config->maskAt(page, mask) : nullptr;
    if (m && widget >= 0 && widget < static_cast<int>(m->widgets.size())) {
        const pugi::xml_node flag = m->widgets[static_cast<size_t>(widget)].node.find_child_by_attribute(
            "p", "n", kAutoFlag);
        m_autoFlagPresent = bool(flag);
        m_autoFlag = flag.text().get();
    }
}

void SetLabelTextCommand::restoreAutoFlag(pugi::xml_node label) const
{
    if (m_autoFlagPresent)
        setParam(label, kAutoFlag, m_autoFlag);
    else
        removeParams(label, kAutoFlag);
}

bool SetLabelTextCommand::apply(DashConfig& config, int page, int mask, int widget, const QString& value)
{
    return config.setLabelText(page, mask, widget, value);
}

bool SetLabelTextCommand::restore(DashConfig& config, int page, int mask, int widget, const QString& value)
{
    if (!value.isEmpty()) {
        if (!config.setLabelText(page, mask, widget, value))
            return false;
        restoreAutoFlag(config.maskAt(page, mask)->widgets[static_cast<size_t>(widget)].node);
        return true;
    }
    // The Label had no text before the rename. A user cannot clear a text,
    // but undo must put the empty one back.
    MaskElement* m = config.maskAt(page, mask);
    if (!m || widget < 0 || widget >= static_cast<int>(m->widgets.size()))
        return false;
    WidgetModel& w = m->widgets[static_cast<size_t>(widget)];
    if (w.kind != WidgetLabel || !w.node)
        return false;
    setLabelTextParams(w.node, QString());
    restoreAutoFlag(w.node);
    w.text.clear();
    config.markPageDirty(page);
    return true;
}
