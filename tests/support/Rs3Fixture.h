#pragma once

#include <QByteArray>
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

private:
    QString m_base;
};
