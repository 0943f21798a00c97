#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// One entry of a fixture archive. Names are raw bytes so that tests can write
// hostile names ("../x", "/abs/x") that no real folder could hold.
struct ZipFixtureEntry {
    // ShortData stores half the bytes while the directory promises them all.
    enum Damage { Intact, WrongCrc, BrokenDeflate, ShortData };
    QByteArray name;
    QByteArray data;
    Damage damage = Intact;
    // An intact entry holds data this many times over, written piece by
    // piece: a huge entry without holding it in memory.
    qint64 repeat = 1;
    // Unix st_mode of the entry (0120777 makes a symbolic link); 0 writes
    // the entry without a Unix host, as the Windows tools do.
    quint32 unixMode = 0;
    int level = -1; // zlib level of an intact entry
    // General-purpose flag bits of an intact entry (0x800: the name is
    // UTF-8); read back as the archive holds them.
    quint32 flags = 0;
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

// The entries of an archive in their stored order, names as stored bytes
// and flags as the central directory holds them; empty on failure.
QList<ZipFixtureEntry> readZipEntries(const QString& zipPath);

// The entry names of an archive in archive order; empty on failure.
QStringList entryNames(const QString& zipPath);

} // namespace ZipFixture
