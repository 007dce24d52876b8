#include "app/QtSettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <cstdio>

namespace {

QSettings OpenSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope,
                     QString::fromLatin1(QtSettingsStore::kOrganisation),
                     QString::fromLatin1(QtSettingsStore::kApplication));
}

QString EntryName(int i) {
    return QStringLiteral("File%1").arg(i + 1);
}

} // namespace

QString QtSettingsStore::FilePath() {
    // The organisation-wide file's name tells the folder without touching the program's own
    // file: QSettings reads a file as it is opened.
    const QSettings organisation(QSettings::IniFormat, QSettings::UserScope,
                                 QString::fromLatin1(kOrganisation));
    return QFileInfo(organisation.fileName())
        .dir()
        .filePath(QString::fromLatin1(kOrganisation) + QLatin1Char('/') +
                  QString::fromLatin1(kApplication) + QStringLiteral(".ini"));
}

namespace {

// Why the settings file at `file` must be left alone, or nullptr when it may be used.
const char* Problem(const QFileInfo& file) {
    if (!file.exists())
        return nullptr; // a first start: the file is created at exit
    return !file.isFile()                                 ? "is not a regular file"
           : file.size() > QtSettingsStore::kMaxFileBytes ? "is larger than 1 MB"
                                                          : nullptr;
}

} // namespace

bool QtSettingsStore::FileIsUsable() {
    return Problem(QFileInfo(FilePath())) == nullptr;
}

bool QtSettingsStore::Usable() const {
    const QFileInfo file(FilePath());
    const char* problem = Problem(file);
    if (!problem)
        return true;
    if (!warned_)
        std::fprintf(stderr, "quellor: the settings file %s %s: it is ignored, defaults are used\n",
                     QFile::encodeName(file.filePath()).constData(), problem);
    warned_ = true;
    return false;
}

std::optional<std::uint32_t> QtSettingsStore::ReadValue(const std::string& name) {
    if (!Usable())
        return std::nullopt;
    const QSettings settings = OpenSettings();
    const QVariant value = settings.value(QString::fromStdString(name));
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const uint number = value.toString().trimmed().toUInt(&ok);
    if (!ok)
        return std::nullopt;
    return number;
}

void QtSettingsStore::WriteValue(const std::string& name, std::uint32_t value) {
    if (!Usable())
        return;
    QSettings settings = OpenSettings();
    settings.setValue(QString::fromStdString(name), static_cast<uint>(value));
}

QStringList QtSettingsStore::ReadList(const QString& group, int count) const {
    if (!Usable())
        return {};
    QSettings settings = OpenSettings();
    settings.beginGroup(group);
    QStringList items;
    for (int i = 0; i < count; ++i) {
        const QString item = settings.value(EntryName(i)).toString();
        if (!item.isEmpty())
            items.append(item);
    }
    return items;
}

void QtSettingsStore::WriteList(const QString& group, const QStringList& items, int count) {
    if (!Usable())
        return;
    QSettings settings = OpenSettings();
    settings.beginGroup(group);
    for (int i = 0; i < count; ++i) {
        if (i < items.size())
            settings.setValue(EntryName(i), items[i]);
        else
            settings.remove(EntryName(i));
    }
}

bool QtSettingsStore::Sync() {
    if (!Usable())
        return false;
    QSettings settings = OpenSettings();
    settings.sync();
    return settings.status() == QSettings::NoError;
}
