#pragma once

#include <QString>

// A source of telemetry values for the widgets on the canvas: a loaded RS3
// CSV export or made-up sample data. The canvas holds a non-owning pointer and
// asks for one channel at one time on every repaint.
//
// Lookups are const so that a const pointer can be handed around; a source
// that caches name resolution keeps the cache mutable. GUI thread only.
class IDataSource {
public:
    virtual ~IDataSource();

    // Whether values can be read at all.
    virtual bool isValid() const = 0;

    // The channel's value at timeSeconds; 0.0 for a channel the source does
    // not know.
    virtual double value(const QString& channel, double timeSeconds) const = 0;

    // The source column that the channel name resolves to; empty when none.
    virtual QString matchedColumn(const QString& channel) const = 0;

    // The channel's unit text; empty when the source has none for it.
    virtual QString unitOf(const QString& channel) const = 0;
};
