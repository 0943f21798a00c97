#include "artwork/BoxArtProps.h"

#include "model/XmlParams.h"

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
        removeParams(mask, pair.name);
        if (pair.present)
            setParam(mask, pair.name, pair.value.toUtf8());
    }
    removeParams(mask, "BOX_STYLE_ID");
}
