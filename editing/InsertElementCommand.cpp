#include "editing/InsertElementCommand.h"

#include "artwork/BarTemplateLibrary.h"
#include "model/DashConfig.h"

#include <QCoreApplication>

InsertElementCommand::InsertElementCommand(DashConfig* config, int page, const ChannelInfo& channel, int x, int y,
                                           int width, int height, pugi::xml_node donor,
                                           const QString& sourceFolder, QString* errorTarget, int* createdMask)
    : ReplayedMaskCommand(config, page, createdMask, errorTarget)
    , m_channel(channel)
    , m_x(x)
    , m_y(y)
    , m_width(width)
    , m_height(height)
    , m_sourceFolder(sourceFolder)
{
    if (donor)
        m_donor.append_copy(donor);
    setText(QCoreApplication::translate("InsertElementCommand", "Insert %1").arg(channel.longName));
}

InsertElementCommand::~InsertElementCommand() = default;

int InsertElementCommand::build(QString* error)
{
    if (!m_donor.first_child())
        return -1;
    MaskElement out;
    const int created = m_config->insertElement(m_page, m_donor.first_child(), m_channel, m_x, m_y, m_width,
                                                m_height, out, m_sourceFolder, error);
    if (created >= 0)
        applyBarTemplate(created);
    return created;
}

void InsertElementCommand::applyBarTemplate(int maskIndex)
{
    const BarTemplate* tpl = m_barTemplate.isEmpty() ? nullptr : BarTemplateLibrary::findById(m_barTemplate);
    MaskElement* mask = m_config->maskAt(m_page, maskIndex);
    if (!tpl || !mask || !mask->node)
        return;
    BarTemplateLibrary::applyTemplate(mask->node, tpl);
    // The chosen look comes with a 0..100 scale; the channel's range stays.
    m_config->applyChannelRangeToBarScales(mask->node, m_channel.fid);
    m_config->markPageDirty(m_page);
    *mask = m_config->parseMask(mask->node);
}
