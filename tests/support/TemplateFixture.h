#pragma once

#include "support/ConfigFixture.h"

#include <QList>
#include <QPair>
#include <QString>

// A page template folder as RS3 and the template library keep them:
// "pMain.P2.xml" (root aimDataBase_Page2) with the template's GPageParam and
// one GMaskParam per mask naming its item file in PATH_NAME_REL_AiM_MASK,
// the item files (root aimDataBase_Mask2) and, optionally, "bkg.png".
//
//     TemplateFixture tpl;
//     tpl.pageParam("WIDTH", "640");
//     tpl.mask(FixtureElement("GMaskParam").p("XPOS", 10).p("YPOS", 20),
//              Fx::mask("m01", 0, 0, 200, 80).add(Fx::label("l1", "RPM", 0, 0, 200, 80)));
//     tpl.writeTo(folder);
struct TemplateMask {
    FixtureElement params; // the template page's GMaskParam, without PATH_NAME_REL_AiM_MASK
    QString itemPath;      // PATH_NAME_REL_AiM_MASK, relative to the template folder
    FixtureElement item;   // the item file's GMaskParam; an empty class writes no file
    bool picture = true;   // a "mask.png" beside the item file, as an item with art has
};

class TemplateFixture {
public:
    QList<QPair<QString, QString>> pageParams;
    QList<TemplateMask> masks;
    bool background = false; // writes a small "bkg.png"

    TemplateFixture& pageParam(const QString& name, const QString& value);
    // A mask whose item file is "./Items/md<N>/md<N>.M2.xml", N counting
    // from 1, as the template library writes them.
    TemplateMask& mask(const FixtureElement& params, const FixtureElement& item);

    QByteArray pMainXml() const;
    // Writes pMain.P2.xml, every item file (where its path points, also
    // outside the folder) and bkg.png when asked for.
    bool writeTo(const QString& folder) const;
};
