#pragma once

#include "model/PageModel.h"
#include "support/ConfigFixture.h"

#include <QList>
#include <QSize>
#include <pugixml.hpp>

// A page whose mask records are parsed from fixture elements exactly as a
// load parses them, for drawing tests that need no archive:
//
//     ParsedPage p({ Fx::mask("m1", 10, 20, 200, 80).add(Fx::digit("d1", 0, 0, 200, 60)) });
//     canvas.setPage(&p.page);
//
// The records point into a document the object owns, so it is not copyable.
class ParsedPage {
public:
    explicit ParsedPage(const QList<FixtureElement>& masks, QSize size = QSize(800, 480));
    ParsedPage(const ParsedPage&) = delete;
    ParsedPage& operator=(const ParsedPage&) = delete;

    MaskElement& mask(int i) { return page.masks[size_t(i)]; }
    WidgetModel& widget(int m, int w) { return page.masks[size_t(m)].widgets[size_t(w)]; }

    PageModel page;

private:
    pugi::xml_document m_doc;
};
