#pragma once

#include "support/Rs3Fixture.h"

#include <QString>

// An RS3 install filled the way a user's is after some years (many stock
// items, editor-made boxes, coloured bar folders), and configurations of any
// number of pages of 15 masks that meet every rule of Check config now and
// then: page backgrounds declared and missing or present and undeclared,
// invented slots, borrowed kinds, missing art, masks off the page, markers
// and bars that do not fit, coloured bars with and without their records
// and with widgets their colours do not cover, boxes without their style
// records, stale records. What each page holds follows from its index alone,
// so two builds give the same file.
class FullInstallFixture {
public:
    struct Counts {
        int stockItems = 1960;
        int homebrewBoxes = 300;
        int colourFolders = 53;
    };

    explicit FullInstallFixture(const Counts& counts);
    FullInstallFixture();
    bool isValid() const { return m_valid; }
    const Rs3Fixture& rs3() const { return m_rs3; }

    // Writes "<name>.zconf2" of `pages` pages into `folder`, with its
    // bar-colour and box-style records beside it; the path, or empty.
    QString writeConfig(const QString& folder, const QString& name, int pages) const;

private:
    bool build();

    Counts m_counts;
    Rs3Fixture m_rs3;
    bool m_valid = false;
};
