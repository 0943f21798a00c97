#include "editing/RefreshBoxArtCommand.h"

#include "model/DashConfig.h"
#include "model/XmlParams.h"

#include <QCoreApplication>

#include <utility>

RefreshBoxArtCommand::RefreshBoxArtCommand(DashConfig* config, int* rendered, QStringList* left,
                                           QStringList* mismatched)
    : m_config(config)
    , m_rendered(rendered)
    , m_left(left)
    , m_mismatched(mismatched)
{
    setText(QCoreApplication::translate("RefreshBoxArtCommand", "Refresh box artwork"));
}

RefreshBoxArtCommand::~RefreshBoxArtCommand() = default;

void RefreshBoxArtCommand::refresh()
{
    // The art each box points at before: records do not change here, so
    // the full snapshot is taken after, only of the boxes that moved.
    std::vector<std::vector<BoxStyleSnapshot>> before(m_config->pages.size());
    for (size_t p = 0; p < m_config->pages.size(); ++p) {
        for (const MaskElement& m : m_config->pages[p].masks)
            before[p].push_back(BoxStyleSnapshot::readFromMask(m.node));
    }
    QStringList left;
    QStringList mismatched;
    const int rendered = m_config->repairMissingHomebrewArt(true, &left, &mismatched);
    for (size_t p = 0; p < before.size() && p < m_config->pages.size(); ++p) {
        for (size_t k = 0; k < before[p].size() && k < m_config->pages[p].masks.size(); ++k) {
            const pugi::xml_node node = m_config->pages[p].masks[k].node;
            if (before[p][k].params.relPath == QString::fromUtf8(paramValue(node, "PATH_REL_AiM_MASK")))
                continue;
            Repointed r{int(p), int(k), {}, m_config->boxStyleSnapshot(int(p), int(k))};
            r.before = r.after;
            r.before.params = before[p][k].params;
            m_repointed.push_back(std::move(r));
        }
    }
    if (m_repointed.empty())
        setObsolete(true);
    if (m_rendered)
        *m_rendered = rendered;
    if (m_left)
        *m_left = left;
    if (m_mismatched)
        *m_mismatched = mismatched;
    m_rendered = nullptr;
    m_left = nullptr;
    m_mismatched = nullptr;
}

bool RefreshBoxArtCommand::restore(bool after)
{
    m_config->sidecarFailure.clear();
    bool restored = true;
    for (const Repointed& r : m_repointed)
        restored = m_config->restoreBoxArtwork(r.page, r.mask, after ? r.after : r.before) && restored;
    if (!restored)
        m_config->refusedStep = m_config->sidecarFailure;
    return restored;
}

void RefreshBoxArtCommand::redo()
{
    if (!m_config)
        return;
    if (!m_done) {
        m_done = true;
        refresh();
        return;
    }
    // The window steps back over an undo that left the boxes as they were.
    if (std::exchange(m_undoRefused, false))
        return;
    restore(true);
}

void RefreshBoxArtCommand::undo()
{
    if (m_config && m_done)
        m_undoRefused = !restore(false);
}
