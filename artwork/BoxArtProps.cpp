#include "artwork/BoxArtProps.h"

#include "model/XmlParams.h"

// Undo hands back the element as it was, not with its art moved to the end.
void setMaskArtParam(pugi::xml_node mask, const char* name, const QByteArray& value)
{
    if (!mask.find_child_by_attribute("p", "n", name)) {
        pugi::xml_node lastParam;
        for (pugi::xml_node p = mask.child("p"); p; p = p.next_sibling("p"))
            lastParam = p;
        pugi::xml_node added = lastParam ? mask.insert_child_after("p", lastParam) : mask.prepend_child("p");
        added.append_attribute("n").set_value(name);
    }
    setSoleParam(mask, name, value);
}

void writeBoxArtProps(pugi::xml_node mask, const BoxStyleSnapshot& s)
{
    if (!mask)
        return;
    const struct {
        const char* name;
        bool present;
        const QString& value;
    } pairs[] = {
        {"PATH_REL_AiM_MASK", s.params.relPathPresent, s.params.relPath},
        {"PATH_IMAGE_SFONDO_FW", s.params.sfondoPresent, s.params.sfondo},
        {"DE_FIT_SRC", s.params.fitSrcPresent, s.params.fitSrc},
        {"M_BCOL", s.params.borderColourPresent, s.params.borderColour},
    };
    for (const auto& pair : pairs) {
        if (pair.present)
            setMaskArtParam(mask, pair.name, pair.value.toUtf8());
        else
            removeParams(mask, pair.name);
    }
    removeParams(mask, "BOX_STYLE_ID");
}
