// Element and page actions of the Edit menu, the toolbar and the context
// menus. Each is connected now and does its work once its action is built.
#include "app/MainWindow.h"

void MainWindow::insertElement()
{
}

void MainWindow::selectAllWidgets()
{
}

void MainWindow::newBlankPage()
{
}

void MainWindow::setPageBackground()
{
}

void MainWindow::addPageFromTemplate()
{
}

void MainWindow::saveCurrentAsTemplate()
{
}

void MainWindow::addValueBar()
{
}

void MainWindow::applyBoxStyle()
{
}

void MainWindow::applyColorBar(int)
{
}

void MainWindow::removeBarColor(int)
{
}

void MainWindow::setIconPreview(int)
{
}

void MainWindow::convertToMultiBox(int)
{
}

void MainWindow::exportElementArtwork(int)
{
}

void MainWindow::bindWidgetToChannel(const ChannelInfo&)
{
}

void MainWindow::sendToBack()
{
}

void MainWindow::moveMaskUp()
{
}

void MainWindow::moveMaskDown()
{
}

void MainWindow::mirrorBox(int)
{
}

void MainWindow::swapArtwork(int)
{
}

void MainWindow::replaceArtwork(int)
{
}

void MainWindow::pickTextColour(int, int)
{
}

void MainWindow::renameConfig()
{
}
