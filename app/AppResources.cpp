#include "app/AppResources.h"
#include "resources/resource.h"

#include <QFile>

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitCompiledResources() {
    Q_INIT_RESOURCE(quellor);
}

namespace AppResources {

void Init() {
    static const bool done = [] {
        InitCompiledResources();
        return true;
    }();
    (void)done;
}

QImage Picture(int id) {
    Init();
    return QImage(QString::fromLatin1(Res::kPicturePrefix) + QString::number(id) +
                  QStringLiteral(".png"));
}

QIcon Icon(int id) {
    Init();
    return QIcon(QString::fromLatin1(Res::kPicturePrefix) + QString::number(id) +
                 QStringLiteral(".png"));
}

QString Page(const QString& name) {
    Init();
    QFile file(QString::fromLatin1(Res::kPicturePrefix) + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace AppResources
