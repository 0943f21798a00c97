#include "editing/NewPageCommand.h"

#include "model/DashConfig.h"

#include <QCoreApplication>

NewPageCommand::NewPageCommand(DashConfig* config, const QString& name, int* createdPage, QUndoCommand* parent)
    : ReplayedPageCommand(config, createdPage, parent)
    , m_name(name)
{
    setText(QCoreApplication::translate("NewPageCommand", "New page \"%1\"").arg(name));
}

NewPageCommand::~NewPageCommand() = default;

int NewPageCommand::build()
{
    return m_config->newPage(m_name);
}
