#include "artwork/ColouredBarIndex.h"

ColouredBarIndex::Records ColouredBarIndex::storedRecords(const QString& path, const AdoptedKeys& adopted,
                                                          const std::function<Records()>& load)
{
    const FileStamp stamp = FileStamp::of(path);
    if (!stamp.isValid()) {
        m_stamp = FileStamp();
        return load();
    }
    if (stamp == m_stamp && path == m_path && adopted == m_adopted)
        return m_records;
    m_records = load();
    m_path = path;
    m_stamp = stamp;
    m_adopted = adopted;
    return m_records;
}

void ColouredBarIndex::indexPositions(const std::vector<PageModel>& pages)
{
    m_positions.clear();
    for (int p = 0; p < int(pages.size()); ++p) {
        const std::vector<MaskElement>& masks = pages[size_t(p)].masks;
        for (int k = 0; k < int(masks.size()); ++k) {
            if (masks[size_t(k)].node)
                m_positions.insert(masks[size_t(k)].node.internal_object(), {p, k});
        }
    }
}

std::pair<int, int> ColouredBarIndex::position(const std::vector<PageModel>& pages, pugi::xml_node mask)
{
    if (!mask)
        return {-1, -1};
    const auto held = [&pages, mask](const std::pair<int, int>& at) {
        return at.first < int(pages.size()) && at.second < int(pages[size_t(at.first)].masks.size())
            && pages[size_t(at.first)].masks[size_t(at.second)].node == mask;
    };
    auto it = m_positions.constFind(mask.internal_object());
    if (it != m_positions.constEnd() && held(*it))
        return *it;
    // The element is new to the index, or the list moved it: the index
    // describes an older page list, and is built again from this one.
    indexPositions(pages);
    it = m_positions.constFind(mask.internal_object());
    return it != m_positions.constEnd() ? *it : std::pair<int, int>(-1, -1);
}
