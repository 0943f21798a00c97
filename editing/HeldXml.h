#pragma once

#include <pugixml.hpp>

#include <functional>

class QUndoStack;

// Called once per element an undo step keeps aside.
using HeldXmlVisitor = std::function<void(const pugi::xml_node&)>;
// Visits every element the undo history keeps aside (a caller-supplied walk,
// so code below the window can ask without knowing the stack).
using HeldXmlWalk = std::function<void(const HeldXmlVisitor&)>;

// An undo step that keeps copies of pages or masks the configuration does
// not hold right now (a deleted page, a page whose adding was undone): Undo
// or Redo can bring them back, with every file they point at.
class HeldXml {
public:
    virtual ~HeldXml() = default;
    // The kept elements that are not in the configuration at the moment.
    virtual void visitHeldXml(const HeldXmlVisitor& visit) const = 0;
};

// Every element kept aside by the steps of the stack and their child steps.
void visitHeldXml(const QUndoStack& stack, const HeldXmlVisitor& visit);
