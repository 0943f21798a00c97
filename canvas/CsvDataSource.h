#pragma once

#include "canvas/IDataSource.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

// One usable column of a loaded export.
struct CsvChannel {
    QString name;               // as written in the channel-name row, trimmed
    QString unit;               // trimmed cell of the units row, or empty
    std::vector<double> values; // parallel to the source's time column, unless rows is set
    // Set when some rows are too short to reach this column: values[j] then
    // belongs to row rows[j] (ascending), and a row without an entry reads
    // 0.0. Short rows so cost nothing, whatever the width of the names row.
    std::vector<size_t> rows;

    // The value of data row `row`.
    double valueAt(size_t row) const;
};

// Plays back an RS3 CSV telemetry export: optional metadata lines, a
// channel-name row starting with "Time", a units row, then one row of samples
// per line. Values between two samples are interpolated linearly; before the
// first and after the last sample the end values hold. Exports of the older
// RaceStudio generation ("AIM CSV File": Latin-1 text, the names row written
// twice, "Time" restarting at every lap) play back over the whole session.
class CsvDataSource : public IDataSource {
public:
    CsvDataSource();
    ~CsvDataSource() override;
    CsvDataSource(const CsvDataSource&) = delete;
    CsvDataSource& operator=(const CsvDataSource&) = delete;

    // Replaces the contents with the export at path. On failure the source is
    // left empty and errorText() says why.
    bool load(const QString& path);
    void clear();

    bool isValid() const override;
    double value(const QString& channel, double timeSeconds) const override;
    QString matchedColumn(const QString& channel) const override;
    QString unitOf(const QString& channel) const override;

    // Seconds from the first to the last sample (never negative); a single
    // sample gives its own time. 0 when nothing is loaded.
    double duration() const;
    // Time of the first sample, 0 when nothing is loaded. Exports need not
    // start at 0, so playback runs from firstTime() to firstTime() + duration().
    double firstTime() const;
    // Channel names as written in the file, ordered by lower-cased name.
    QStringList channelNames() const;
    QString errorText() const;

    // Name reduced for the loose match: '_' and ' ' dropped, lower-cased.
    static QString normalisedName(const QString& name);

private:
    bool fail(const QString& message);

    std::vector<double> m_times;
    std::map<QString, CsvChannel> m_channels;           // key: name lower-cased
    // Requested name -> its column (null = none), matched once per load.
    // Points into m_channels, whose nodes stay put until clear().
    mutable QHash<QString, const CsvChannel*> m_resolveCache;
    // In front of it, by the identity of the caller's string: the canvas asks
    // with the same strings every frame, and a held copy keeps a slot's text
    // alive, so an equal data pointer is the same text.
    struct RecentChannel {
        QString name;
        const CsvChannel* channel = nullptr;
    };
    mutable RecentChannel m_recent[64];
    const CsvChannel* resolve(const QString& channel) const;
    size_t firstAfter(double timeSeconds, size_t n) const;
    bool m_ascending = false; // times never go back: their place can be guessed
    double m_duration = 0.0;
    bool m_loaded = false;
    QString m_errorText;
};
