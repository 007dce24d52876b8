#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

// The program's compiled-in pictures and pages, found by their resource ids.
namespace AppResources {

// Registers the compiled-in resources; safe to call more than once.
void Init();
// Picture or icon `id` (e.g. 331 for the logo); a null image when there is none.
QImage Picture(int id);
QIcon Icon(int id);
// A text page such as "credits.html".
QString Page(const QString& name);

} // namespace AppResources
