#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

// Writes files into one folder laid out like a RaceStudio 3 install (the
// folder that holds "aim/resources/overlay"). The tests' temporary installs
// and the demo install the build makes are both written through it, so the
// demo shows exactly what the tests exercise.
class Rs3Tree {
public:
    explicit Rs3Tree(const QString& root);

    QString root() const { return m_root; }
    // root + "/aim/resources/overlay"
    QString overlayRoot() const;
    QString absolutePath(const QString& relPath) const;
    // Writes a file at a path relative to the root, creating its folders.
    bool writeFile(const QString& relPath, const QByteArray& content) const;
    bool writePicture(const QString& relPath, const QImage& picture, const char* format = "PNG") const;

    // An art item as RS3 ships them: relFolder gets a mask.png of the size
    // filled with the colour and an "<last folder name>.M2.xml" declaring
    // that size.
    bool addArtItem(const QString& relFolder, const QSize& size, const QColor& colour = Qt::red) const;
    // The same with a picture of its own and the given element XML (each
    // "<e ...>" line indented by four) inside the item's mask.
    bool addStockItem(const QString& relFolder, const QImage& picture, const QByteArray& innerXml) const;
    // A native element the element catalog indexes: one <e c="..."> per
    // class inside the mask and an empty file for each extra art name.
    bool addNativeElement(const QString& relFolder, const QStringList& classes, const QSize& size,
                          const QStringList& extraArt = {}, const QColor& colour = Qt::red) const;
    // A stock item whose M2 file holds the given mask element as it is.
    bool addMaskItem(const QString& relFolder, const QByteArray& maskXml) const;
    // A stock template overlay/<family>/masks/set/standard/<set>/<name>/ with
    // a pMain.P2.xml declaring the size (and holding the given mask entries,
    // each "<e ...>" line indented by four) and a bkg.png of that size;
    // returns the folder, empty on failure.
    QString addTemplate(const QString& family, const QString& set, const QString& name,
                        const QSize& size = QSize(800, 480), const QColor& background = Qt::darkGray,
                        const QByteArray& masksXml = QByteArray()) const;
    bool addFolderMeta(const QString& relFolder, const QString& label, int sort = 99) const;
    // AiM's "+- Ref Time" stock item (540 x 90, two delta bars and their
    // scale captions).
    bool addDeltaBarItem(const QString& relFolder, bool coloured = true, int bars = 2,
                         const QColor& colour = Qt::magenta) const;

private:
    bool writeItemM2(const QString& rel, const QSize& size, const QByteArray& innerXml) const;

    QString m_root;
};
