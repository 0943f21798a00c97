#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

// One entry of a fixture archive. Names are raw bytes so that tests can write
// hostile names ("../x", "/abs/x") that no real folder could hold.
struct ZipFixtureEntry {
    enum Damage { Intact, WrongCrc, BrokenDeflate };
    QByteArray name;
    QByteArray data;
    Damage damage = Intact;
    int level = -1; // zlib level of an intact entry
};

// Writes archives and compares folder trees for the tests.
namespace ZipFixture {

// Writes the entries, in order, into a new archive at zipPath.
bool writeZip(const QString& zipPath, const QList<ZipFixtureEntry>& entries);

// Convenience: entries from a path -> content map (sorted by path).
bool writeZip(const QString& zipPath, const QMap<QString, QByteArray>& files);

// Zips every file under folder (hidden ones too) with paths relative to it.
bool zipFolder(const QString& folder, const QString& zipPath);

// Every file under folder as relative path -> content, hidden ones included.
QMap<QString, QByteArray> readTree(const QString& folder);

// Writes the files under folder, creating parent folders.
bool writeTree(const QString& folder, const QMap<QString, QByteArray>& files);

// The entries of an archive as name -> content; empty on failure.
QMap<QString, QByteArray> readZip(const QString& zipPath);

} // namespace ZipFixture
