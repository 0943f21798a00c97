#pragma once

#include <string>

// What undo needs to put a bar's colour back: the mask's art parameters, its
// bargraph child's geometry and its ".barcolor.json" record as they stood.
// Strings are the UTF-8 parameter texts. A parameter with a text is put back
// whatever its flag says; the flag tells an empty parameter (stock bars carry
// an empty PATH_IMG_ON) from a missing one.
struct BarColorSnapshot {
    std::string pathRel;   // PATH_REL_AiM_MASK
    std::string pathImage; // PATH_IMAGE
    std::string pathImgOn; // PATH_IMG_ON
    // DE_BARCOLOR_SRC: the origin stamp goes back with the art it names, so
    // an undone colouring leaves no stale stamp on the stock art.
    std::string barColorSrc;
    // DE_FIT_SRC: a coloured bar whose pictures were replaced is fitted from
    // the replaced item the stamp names, so the stamp goes with its art.
    std::string fitSrc;
    bool pathRelPresent = false;
    bool pathImagePresent = false;
    bool pathImgOnPresent = false;
    bool barColorSrcPresent = false;
    bool fitSrcPresent = false;
    std::string barGeometry; // DashConfig::barGeometryText of the bargraph child
    bool hasRecord = false;
    bool colored = false;
    double redline = 0.0;
    std::string originalPathRel;
    std::string originalCoords;
};
