#pragma once

#include "editing/WidgetPropertyCommand.h"

#include <QByteArray>
#include <pugixml.hpp>

// Renames a Label widget; undo writes the old text back.
// The creator passes the value shown before the edit; the text is "Rename Label"
// unless the creator sets another.
class SetLabelTextCommand : public WidgetPropertyCommand {
public:
    SetLabelTextCommand(DashConfig* config, int page, int mask, int widget, const QString& oldValue,
           const QString& newValue);

protected:
    bool apply(DashConfig& config, int page, int mask, int widget, const QString& value) override;
    bool restore(DashConfig& config, int page, int mask, int widget, const QString& value) override;

private:
    void restoreAutoFlag(pugi::xml_node label) const;

    // Renaming marks the Label as no longer filled in by RS3; undo puts the
    // mark back as it was before the rename (taken at construction).
    bool m_autoFlagPresent = false;
    QByteArray m_autoFlag;
};
