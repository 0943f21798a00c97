#pragma once

#include "artwork/BoxStyleSnapshot.h"

#include <pugixml.hpp>

// Puts a mask's box art parameters back as a snapshot captured them:
// PATH_REL_AiM_MASK, PATH_IMAGE_SFONDO_FW, DE_FIT_SRC and M_BCOL keep their
// place with the captured text, or go when they were absent; BOX_STYLE_ID
// is removed.
void writeBoxArtProps(pugi::xml_node mask, const BoxStyleSnapshot& snapshot);

// Gives the mask's art parameter the value where it stands (later copies
// go); a missing one goes after the mask's last parameter, ahead of its
// elements, where RS3 writes them and where an undo or redo puts it back.
void setMaskArtParam(pugi::xml_node mask, const char* name, const QByteArray& value);
