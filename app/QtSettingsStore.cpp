#include "app/QtSettingsStore.h"

#include <QSettings>

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

std::optional<std::uint32_t> QtSettingsStore::ReadValue(const std::string& name) {
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
    QSettings settings = OpenSettings();
    settings.setValue(QString::fromStdString(name), static_cast<uint>(value));
}

QStringList QtSettingsStore::ReadList(const QString& group, int count) const {
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
    QSettings settings = OpenSettings();
    settings.sync();
    return settings.status() == QSettings::NoError;
}
