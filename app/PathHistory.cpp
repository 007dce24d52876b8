#include "app/PathHistory.h"

#include <QSettings>

namespace {

char16_t FoldAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c;
}

// Folder names compare like the file system of the program's origin: ASCII letters ignore
// case, every other character must match exactly.
bool EqualIgnoringAsciiCase(const QString& a, const QString& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i].unicode()) != FoldAscii(b[i].unicode()))
            return false;
    return true;
}

} // namespace

void PathHistory::Load(QSettings& store, const QString& name) {
    store.beginGroup(name);
    for (int k = 1; k <= kMaxEntries; ++k) {
        const QString key = QString::number(k);
        if (!store.contains(key))
            break;
        const QVariant value = store.value(key);
        // An INI value holding an unquoted comma reads back as a list; it was one path.
        if (value.typeId() == QMetaType::QStringList)
            entries_.append(value.toStringList().join(QStringLiteral(", ")));
        else
            entries_.append(value.toString());
    }
    store.endGroup();
}

void PathHistory::Add(const QString& path) {
    for (const QString& entry : entries_)
        if (EqualIgnoringAsciiCase(entry, path))
            return;
    entries_.prepend(path);
    while (entries_.size() > kMaxEntries)
        entries_.removeLast();
}

void PathHistory::Save(QSettings& store, const QString& name) const {
    store.beginGroup(name);
    for (qsizetype k = 0; k < entries_.size(); ++k)
        store.setValue(QString::number(k + 1), entries_[k]);
    store.endGroup();
}
