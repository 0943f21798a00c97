#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Builds RS3-style CSV telemetry exports for tests: session metadata lines, the
// "Time" channel-name row, the units row and the samples. Cells are written in
// double quotes the way RS3 writes them unless quoted is false. Tests that need
// hostile text write it with writeText.
struct CsvExportFixture {
    QList<QStringList> metadata = {
        {"Format", "AiM CSV File"},
        {"Session", "Test"},
        {"Vehicle", "Fixture"},
        {"Sample Rate", "20"},
    };
    QStringList channels;           // names after "Time"
    QStringList units;              // units after the time unit "s"
    QList<QList<double>> rows;      // time first, then one value per channel
    bool quoted = true;
    QByteArray lineEnd = "\r\n";
    bool byteOrderMark = false;
    // Written the way the older RaceStudio generation wrote "AIM CSV File"
    // exports: Latin-1 text, the names row twice, a row of channel numbers
    // under the units, samples unquoted with a trailing comma. The times in
    // rows are written as given (those exports restart them at every lap).
    bool olderGeneration = false;

    QByteArray toBytes() const;
    bool write(const QString& path) const;

    // Writes bytes as they are; false when the file cannot be written.
    static bool writeText(const QString& path, const QByteArray& bytes);
};
