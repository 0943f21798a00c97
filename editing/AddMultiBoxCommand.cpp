#include "editing/AddMultiBoxCommand.h"

#include "editing/FirstRedoResult.h"
#include "model/DashConfig.h"

#include <QCoreApplication>

#include <utility>

AddMultiBoxCommand::AddMultiBoxCommand(DashConfig* config, int page, int rows, int cols,
                                       const QString& labelPlacement, std::vector<MultiBoxCellRequest> cells,
                                       const QRect& rect, int* createdMask)
    : QUndoCommand()
    , m_config(config)
    , m_page(page)
    , m_rows(rows)
    , m_cols(cols)
    , m_labelPlacement(labelPlacement)
    , m_cells(std::move(cells))
    , m_rect(rect)
    , m_createdTarget(createdMask)
{
    setText(QCoreApplication::translate("AddMultiBoxCommand", "Add multi-value box"));
}

AddMultiBoxCommand::~AddMultiBoxCommand() = default;

void AddMultiBoxCommand::redo()
{
    if (m_config) {
        m_multiBoxesBefore = m_config->loadMultiBoxSidecar();
        m_stylesBefore = m_config->loadBoxStyleSidecar();
    }
    if (!m_saved.isEmpty()) {
        replay();
        return;
    }
    m_created = m_config ? m_config->addMultiBox(m_page, m_rows, m_cols, m_labelPlacement, m_cells, m_rect) : -1;
    if (m_created >= 0) {
        const MaskElement& made = m_config->page(m_page)->masks[size_t(m_created)];
        m_saved = MaskSnapshot::of(made);
        m_savedIndex = m_created;
        m_key = m_config->sidecarKey(m_page, m_created, SidecarStore::MultiBoxes);
        m_grid = m_config->loadMultiBoxSidecar().value(m_key);
        m_stale = m_config->maskRecords(m_page, m_created);
        m_stale.grid.reset();
        m_stale.style.reset();
        m_config->dropMaskRecords(m_stale);
    }
    handFirstRedoResult(*this, m_firstRedo, m_createdTarget, m_created);
}

// The kept mask goes back with the records the first run wrote for it. Its
// grid goes first: without it the box is no multi-value box and its panel is
// never drawn again, so a store that cannot be written leaves the box out.
void AddMultiBoxCommand::replay()
{
    m_config->sidecarFailure.clear();
    QMap<QString, MultiBoxRecord> grids = m_config->loadMultiBoxSidecar();
    grids.insert(m_key, m_grid);
    if (!m_config->saveMultiBoxSidecar(grids)) {
        m_config->refusedStep = m_config->sidecarFailure;
        return;
    }
    pugi::xml_node out;
    if (!m_config->insertMaskNodeCopy(m_page, m_savedIndex, m_saved.record, m_saved.node(),
                                      m_config->maskInsertAnchor(m_page, m_savedIndex), out))
        return;
    m_created = m_savedIndex;
    QMap<QString, BoxStyleRecord> styles = m_config->loadBoxStyleSidecar();
    if (styles.remove(m_key) > 0)
        m_config->saveBoxStyleSidecar(styles);
    m_config->dropMaskRecords(m_stale);
}

void AddMultiBoxCommand::undo()
{
    if (!m_config || m_created < 0)
        return;
    const PageModel* page = m_config->page(m_page);
    if (!page || m_created >= int(page->masks.size()))
        return;
    const QString key = m_config->sidecarKey(m_page, m_created, SidecarStore::MultiBoxes);
    // The redo brings back the box as this undo takes it away: a rebind of
    // a cell or a font change made since stays with it.
    MaskSnapshot now = MaskSnapshot::of(page->masks[size_t(m_created)]);
    if (!now.isEmpty()) {
        m_saved = std::move(now);
        m_savedIndex = m_created;
    }
    m_config->removeMask(m_page, m_created);
    m_created = -1;
    restoreSidecars(key);
    m_config->restoreMaskRecords(m_stale);
}

// Only the new mask's key goes back: records other masks hold are not this
// command's to touch.
void AddMultiBoxCommand::restoreSidecars(const QString& key)
{
    QMap<QString, MultiBoxRecord> grids = m_config->loadMultiBoxSidecar();
    const auto grid = m_multiBoxesBefore.constFind(key);
    if (grid != m_multiBoxesBefore.constEnd()) {
        grids.insert(key, *grid);
        m_config->saveMultiBoxSidecar(grids);
    } else if (grids.remove(key) > 0) {
        m_config->saveMultiBoxSidecar(grids);
    }

    QMap<QString, BoxStyleRecord> styles = m_config->loadBoxStyleSidecar();
    const auto style = m_stylesBefore.constFind(key);
    if (style != m_stylesBefore.constEnd() && !styles.contains(key)) {
        styles.insert(key, *style);
        m_config->saveBoxStyleSidecar(styles);
    }
}
