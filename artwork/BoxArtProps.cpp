#include "artwork/BoxArtProps.h"

#include "model/XmlParams.h"

#include <cstring>

namespace {

// Gives a parameter the captured text where it stands, so undo hands back
// the element as it was and not with its art moved to the end; later copies
// go. A parameter that has gone is put back after the mask's own parameters,
// ahead of its elements, where RS3 writes them.
void putBackParam(pugi::xml_node mask, const char* name, const QByteArray& value)
{
    pugi::xml_node first = mask.find_child_by_attribute("p", "n", name);
    if (!first) {
        pugi::xml_node lastParam;
        for (pugi::xml_node p = mask.child("p"); p; p = p.next_sibling("p"))
            lastParam = p;
        first = lastParam ? mask.insert_child_after("p", lastParam) : mask.prepend_child("p");
        first.append_attribute("n").set_value(name);
    }
    setParam(mask, name, value);
    for (pugi::xml_node p = first.next_sibling("p"); p;) {
        const pugi::xml_node next = p.next_sibling("p");
        if (std::strcmp(p.attribute("n").value(), name) == 0)
            mask.remove_child(p);
        p = next;
    }
}

} // namespace

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
            putBackParam(mask, pair.name, pair.value.toUtf8());
        else
            removeParams(mask, pair.name);
    }
    removeParams(mask, "BOX_STYLE_ID");
}
