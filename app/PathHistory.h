#pragma once

#include <QString>
#include <QStringList>

class QSettings;

// The folders the Batch Processor was last run with, most recent first, at most six. Each
// list lives in a group of the settings store named after it ("SourcePathHistory",
// "DestinationPathHistory") with one value per entry: "1" is the most recent, "2" the one
// before, and so on; the list ends at the first missing number.
class PathHistory {
public:
    static constexpr int kMaxEntries = 6;

    // Appends the entries stored under `name`.
    void Load(QSettings& store, const QString& name);
    // Records `path` as the most recent entry unless an entry already equals it ignoring ASCII
    // letter case; then the list is left as it is. Entries beyond the sixth are dropped.
    void Add(const QString& path);
    // Writes the entries as values 1 ... n of `name`. Stored values above n are left alone: a
    // list never gets shorter than the one it was loaded from.
    void Save(QSettings& store, const QString& name) const;

    const QStringList& Entries() const { return entries_; }

private:
    QStringList entries_;
};
