// Page templates in the window: the add-page dialog's run.
#include "app/MainWindow.h"

AddPageChoice MainWindow::runAddPageDialog()
{
    return {};
}
