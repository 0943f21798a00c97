#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QMap>
#include <QSize>
#include <QString>
#include <QStringList>

// Two temporary folders laid out like RS3 installs (stable and beta), with
// the settings keys pointing at them for the fixture's lifetime, and a third
// standing in for the program's own folder (its overlay tree is installed as
// the local overlay root), so no test sees a tree beside the test binary.
class Rs3Fixture {
public:
    enum Root { Stable, Beta, Local };

    Rs3Fixture();
    ~Rs3Fixture();
    Rs3Fixture(const Rs3Fixture&) = delete;
    Rs3Fixture& operator=(const Rs3Fixture&) = delete;

    QString root(Root which) const;
    // root + "/aim/resources/overlay"
    QString overlayRoot(Root which) const;
    // Creates (and returns) overlay/<family>, e.g. "mxg_12" or "pdm/dash1".
    QString addDeviceFolder(Root which, const QString& family) const;
    // Writes a file at a path relative to the root ("aim/resources/overlay/...").
    bool writeFile(Root which, const QString& relPath, const QByteArray& content) const;
    QString absolutePath(Root which, const QString& relPath) const;
    // An art item as RS3 ships them: relFolder ("aim/resources/overlay/.../
    // Items/x/") gets a mask.png of the size filled with the colour and an
    // "<last folder name>.M2.xml" declaring that size.
    bool addArtItem(Root which, const QString& relFolder, const QSize& size, const QColor& colour = Qt::red) const;
    // A native element the element catalog indexes: the same, with one
    // <e c="..."> per class inside the mask (so a kind can be told) and an
    // empty file for each extra art name (scale frames and the like).
    bool addNativeElement(Root which, const QString& relFolder, const QStringList& classes, const QSize& size,
                          const QStringList& extraArt = {}, const QColor& colour = Qt::red) const;

    // A stock item whose "<last folder name>.M2.xml" holds the given mask
    // element (<e c="GMaskParam">...</e>), written as it is.
    bool addMaskItem(Root which, const QString& relFolder, const QByteArray& maskXml) const;

    // A stock template: overlay/<family>/masks/set/standard/<set>/<name>/
    // with a pMain.P2.xml declaring the size and a bkg.png of that size.
    // Returns the folder.
    QString addTemplate(Root which, const QString& family, const QString& set, const QString& name,
                        const QSize& size = QSize(800, 480)) const;
    // An AiM_folder.xml with the label and sort in a folder relative to the
    // root.
    bool addFolderMeta(Root which, const QString& relFolder, const QString& label, int sort = 99) const;

    // An RS3 user configuration folder user/cfgs/<folder>/ with
    // "<configName>.aimcfg" (none when configName is empty) and one
    // overlay.ov3.xml per device text, the n-th in a nested "dash<n>/dev"
    // folder. Returns the folder.
    QString addUserConfig(Root which, const QString& folder, const QString& configName,
                          const QList<QByteArray>& deviceTexts) const;

    // The demo's own stock install (the tree the build writes for the demo),
    // written into the root.
    bool addDemoStock(Root which) const;

    // Every folder and file below the three roots (relative path -> bytes,
    // "<dir>" for a folder): two equal snapshots mean nothing was touched.
    QMap<QString, QByteArray> snapshot() const;
    // The same for any folder.
    static QMap<QString, QByteArray> treeSnapshot(const QString& folder);

    // AiM's "+- Ref Time" stock item: relFolder (".../md3/") gets a 540 x 90
    // mask.png of the colour and an "md3.M2.xml" whose mask holds the delta
    // bars "00_008barg" and "00_009barg" (the first `bars` of them, a third
    // "00_008barg" for 3), each with a COL when `coloured`, and the two scale
    // captions.
    bool addDeltaBarItem(Root which, const QString& relFolder, bool coloured = true, int bars = 2,
                         const QColor& colour = Qt::magenta) const;

private:
    QString m_base;
};
