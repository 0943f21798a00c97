#pragma once

#include "artwork/ColouredBar.h"
#include "model/BarColorRecord.h"
#include "model/FileStamp.h"
#include "model/PageModel.h"

#include <QHash>
#include <QMap>
#include <QString>
#include <array>
#include <functional>
#include <utility>
#include <vector>
#include <pugixml.hpp>

// What the coloured-bar answer needs of a configuration, kept between
// questions so that a pass over every widget of the file stays linear in it:
// the bar-colour records as parsed from their store's file, and where each
// mask element sits in the page list. Each part is checked against what it
// was built from before it is used and built again when that changed (the
// file written, the keys older records are adopted under, a page's mask
// list), so no answer outlives a change of the store or of the masks.
class ColouredBarIndex {
public:
    using AdoptedKeys = std::array<QHash<QString, QString>, 4>;
    using Records = QMap<QString, BarColorRecord>;

    // The records of the store's file at `path` as `load` reads them;
    // `load` runs again only when the file was written since, or `adopted`
    // changed. A path with no regular file is read every time (cheaply:
    // there is nothing to parse).
    Records storedRecords(const QString& path, const AdoptedKeys& adopted, const std::function<Records()>& load);
    // Where `mask` is: (page, mask index), or (-1, -1) when no page holds it.
    std::pair<int, int> position(const std::vector<PageModel>& pages, pugi::xml_node mask);

private:
    void indexPositions(const std::vector<PageModel>& pages);

    QString m_path;
    FileStamp m_stamp;
    AdoptedKeys m_adopted;
    Records m_records;
    // Keyed by the element's address, compared and never followed: a hit
    // counts only when the page list still holds that element there.
    QHash<const void*, std::pair<int, int>> m_positions;
};
