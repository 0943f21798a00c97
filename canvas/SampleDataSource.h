#pragma once

#include "canvas/IDataSource.h"

#include <QHash>
#include <QString>

// Signal kinds of the sample source: 0 = no waveform, 1..26 chosen by the
// channel's name, 27..38 by its unit.
using SampleSignalKind = int;

// Made-up but plausible telemetry for when no export is loaded: every channel
// gets a closed-form waveform picked by what the channel is, first from its
// name through a fixed alias table, else from its unit. The source keeps no
// clock; the caller passes the time.
class SampleDataSource : public IDataSource {
public:
    SampleDataSource();
    ~SampleDataSource() override;

    // Channel name -> unit; replaces what was registered before.
    void setChannelUnits(const QHash<QString, QString>& channelUnits);

    bool isValid() const override;
    double value(const QString& channel, double timeSeconds) const override;
    QString matchedColumn(const QString& channel) const override;
    QString unitOf(const QString& channel) const override;

    // The waveform a channel name gets: by alias, else by registered unit.
    SampleSignalKind kindOf(const QString& channel) const;

    // Letters and digits of any script, lower-cased; everything else dropped.
    static QString normaliseKey(const QString& name);
    // Normalised alias -> kind, built once.
    static const QHash<QString, SampleSignalKind>& aliasTable();
    // The waveform a unit text stands for; 0 when none.
    static SampleSignalKind kindForUnit(const QString& unit);
    // Value of a waveform at time t (seconds, negative allowed).
    static double signalValue(SampleSignalKind kind, double t);

private:
    QHash<QString, QString> m_units; // normalised channel key -> unit
    // Channel name as asked -> kind: playback asks for the same names at every tick.
    mutable QHash<QString, SampleSignalKind> m_kinds;
};
