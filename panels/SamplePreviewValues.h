#pragma once

#include <QHash>
#include <QString>
#include <QVariant>

// The fixed, plausible values the insert dialogs' previews show in place of
// live data, keyed by lower-case channel name.
class SamplePreviewValues {
public:
    // The stored value (an integer or a text) for the name, trimmed and
    // lower-cased; the text "--" for an empty or unknown name.
    static QVariant valueFor(const QString& channelName);
    // The table, built on first use.
    static const QHash<QString, QVariant>& instance();

private:
    static QHash<QString, QVariant> build();
};
