#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Carries a configuration's sidecar files to a new name in two steps, so
// that a Save As either brings every one of them along or changes nothing
// beside the new name: stage() copies each existing one next to its new
// name under a temporary name; commit() puts them in place and removes a
// sidecar of the new name whose old one does not exist (it belonged to the
// file the Save As overwrote). Staged copies not committed are removed with
// the object.
class SidecarCarry {
public:
    // from[i] goes to to[i]; a pair with an empty path, or naming one file
    // twice, is left alone.
    SidecarCarry(const QStringList& from, const QStringList& to);
    ~SidecarCarry();
    SidecarCarry(const SidecarCarry&) = delete;
    SidecarCarry& operator=(const SidecarCarry&) = delete;

    // False, with the sidecar and the system's reason in *error, when one
    // cannot be copied or something that is not a file stands at a new name.
    bool stage(QString* error);
    // False when one cannot be put in place or a stale one not removed.
    bool commit(QString* error);

private:
    struct Move {
        QString from;
        QString to;
        QString staged;
    };
    std::vector<Move> m_moves;
};
