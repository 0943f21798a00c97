#pragma once

#include <QByteArray>
#include <QColor>
#include <QSize>
#include <QString>

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
