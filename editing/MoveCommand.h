#pragma once

#include "artwork/BarColorSnapshot.h"
#include "artwork/BoxStyleSnapshot.h"
#include "editing/ChildGeometrySnapshot.h"
#include "editing/ParamRef.h"

#include <QUndoCommand>
#include <string>
#include <vector>

class DashConfig;
struct MaskElement;

// Gives one mask a new rectangle and, when its size changes, carries the
// change into what depends on it: the outlines of its children, optionally
// its children's geometry, the cells of a multi-value box and fitted art.
// Undo puts all of it back.
//
// The command keeps no handles into the document: it remembers which
// element and parameter it wrote (class, id, place, name) and the texts to
// put back, and finds them in the mask at (page, mask) each time it runs, so
// a delete and undo or a reorder of the mask in between does no harm.
class MoveCommand : public QUndoCommand {
public:
    // `mask` names the command and is not kept. Without a configuration, or
    // with a page or mask that does not exist, the command refuses: its
    // first redo changes nothing and it removes itself from the stack.
    MoveCommand(const MaskElement* mask, int oldX, int oldY, int oldW, int oldH, int newX, int newY, int newW,
                int newH, DashConfig* config, int page, int maskIndex, bool relayoutMultiBox, bool rescaleChildren,
                QUndoCommand* parent = nullptr);
    ~MoveCommand() override;

    void undo() override;
    void redo() override;

    // The record at (page, mask), or null when there is none.
    MaskElement* targetMask() const;

    // Keeps the geometry parameters of the mask's Digit, Label and bar
    // children and its widgets' rectangles; once per command.
    void captureOriginal(MaskElement& mask);
    // Scales the kept geometry by new size / old size into the mask.
    void rescaleChildren(MaskElement& mask);

private:
    struct CapturedParam {
        ParamRef param;
        bool horizontal = false;
        bool present = false;
        std::string text;
    };
    struct Rect {
        int x, y, w, h;
    };

    bool sizeChanged() const { return m_oldW != m_newW || m_oldH != m_newH; }
    void writeRect(MaskElement& mask, const Rect& rect);
    static void writeRectParams(pugi::xml_node node, const Rect& rect);
    void captureMaskParams(pugi::xml_node node);
    void restoreMaskParams(pugi::xml_node node);
    void captureOutlines(pugi::xml_node node);
    void restoreCaptured(pugi::xml_node node, const std::vector<CapturedParam>& params);

    // The size-dependent work owned elsewhere: the multi-value box cell
    // layout (true when the mask is a multi-value box that was laid out) and
    // fitted art.
    bool relayoutMultiBox();
    void restoreMultiBoxGeometry();
    void captureBoxArt(pugi::xml_node node);
    void restoreBoxArt(pugi::xml_node node);
    // Fitted art drawn at the new size. It stays in the installs when the
    // step is undone.
    void fitMaskArtToGeometry();
    // A redo whose first fit's art is still there points the mask at it
    // again and draws nothing; false when it has to fit.
    bool refitAsBefore(pugi::xml_node node);
    // A coloured bar's art drawn again at the new size and its record's
    // stock geometry scaled along; undo points it back at the art and record
    // it had.
    void fitColoredBar();
    void restoreColoredBar();

    int m_oldX, m_oldY, m_oldW, m_oldH;
    int m_newX, m_newY, m_newW, m_newH;
    bool m_relayout;
    bool m_multiBoxCaptured = false;
    std::vector<ChildGeometrySnapshot> m_multiBox; // the cells before the first relayout
    bool m_multiBoxLaidOut = false;                // the last redo laid the cells out
    bool m_boxArtCaptured = false;
    BoxStyleSnapshot m_boxArt; // the mask's art parameters before the first refit
    bool m_barCaptured = false;
    BarColorSnapshot m_barBefore; // art and record of a coloured bar before the first redraw
    bool m_barRedrawn = false;    // the first redo drew it again
    BarColorSnapshot m_barAfter;  // what that redo made
    bool m_fitted = false;        // a redo's fit changed the art
    BoxStyleSnapshot m_fitAfter;  // the mask's art parameters that fit left
    bool m_rescale;
    bool m_childrenCaptured = false;
    std::vector<CapturedParam> m_childParams;
    std::vector<Rect> m_widgetRects;
    bool m_maskParamsCaptured = false;
    std::vector<CapturedParam> m_maskParams; // XPOS, YPOS, WIDTH, HEIGHT as found
    bool m_outlinesCaptured = false;
    std::vector<CapturedParam> m_outlines; // LINES_X_HOT_MOUSE of each child as found
    DashConfig* m_config;
    int m_page;
    int m_mask;
    bool m_firstRedo = true;
    bool m_done = false;
};
