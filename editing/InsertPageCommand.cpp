#include "editing/InsertPageCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>
#include <QFileInfo>

InsertPageCommand::InsertPageCommand(DashConfig* config, const QString& folder, const QString& name,
                                     const QString& relFolder, int* createdPage, QUndoCommand* parent)
    : ReplayedPageCommand(config, createdPage, parent)
    , m_folder(folder)
    , m_name(name)
    , m_relFolder(relFolder)
{
    setText(QCoreApplication::translate("InsertPageCommand", "Add page from template \"%1\"")
                .arg(QFileInfo(folder).fileName()));
}

InsertPageCommand::~InsertPageCommand() = default;

int InsertPageCommand::build()
{
    return m_config->insertPage(m_folder, m_name, m_relFolder);
}
