// The least a Qt editor does to show a page: a main window whose central
// widget is a graphics view of an 800 x 480 scene. The process ends once the
// view has painted; startup_bench times it from outside.
#include "FirstPaint.h"

#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    QGraphicsScene scene(0, 0, 800, 480);
    scene.setBackgroundBrush(Qt::black);
    scene.addRect(QRectF(100, 100, 200, 120), QPen(Qt::white), QBrush(Qt::darkBlue));
    scene.addText(QStringLiteral("RPM"));
    auto* view = new QGraphicsView(&scene);
    window.setCentralWidget(view);
    window.resize(1000, 700);
    FirstPaint watcher;
    view->viewport()->installEventFilter(&watcher);
    window.show();
    return QApplication::exec();
}
