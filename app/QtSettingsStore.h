#pragma once

#include "playback/PlaybackSettingsStore.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>

// The per-user settings file: INI format, organisation "ORBANTA", application "Quellor".
// Values are unsigned 32-bit integers; one that is absent or not an integer reads as absent.
// Only a regular file of at most kMaxFileBytes is used: anything else in its place (a FIFO
// would block the start, a huge file slow it) is neither read nor written, the defaults
// are used, and a warning says so on standard error, once per store.
class QtSettingsStore : public PlaybackSettingsStore {
public:
    static constexpr const char* kOrganisation = "ORBANTA";
    static constexpr const char* kApplication = "Quellor";
    static constexpr qint64 kMaxFileBytes = 1 << 20;

    std::optional<std::uint32_t> ReadValue(const std::string& name) override;
    void WriteValue(const std::string& name, std::uint32_t value) override;

    // The entries File1 ... File`count` of `group`, in order, empty ones left out.
    QStringList ReadList(const QString& group, int count) const;
    // Writes `items` as File1 ... and removes the entries after them up to `count`.
    void WriteList(const QString& group, const QStringList& items, int count);
    // Writes pending changes to the file; false when the file cannot be written.
    bool Sync();

    // The settings file's path, found without opening it.
    static QString FilePath();
    // True when the settings file may be opened: it is absent, or a regular file of at most
    // kMaxFileBytes.
    static bool FileIsUsable();

private:
    // False, after one warning, when the settings file must be left alone.
    bool Usable() const;
    mutable bool warned_ = false;
};
