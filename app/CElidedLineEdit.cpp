#include "app/CElidedLineEdit.h"

#include <QEvent>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>

namespace {

// The line's own margin on each side of its text, inside the style's contents rectangle.
constexpr int kInnerMargin = 2;

} // namespace

CElidedLineEdit::CElidedLineEdit(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
}

void CElidedLineEdit::SetFullText(const QString& text) {
    if (text == full_ && !text.isEmpty())
        return;
    full_ = text;
    Elide();
}

void CElidedLineEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    Elide();
}

void CElidedLineEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        Elide();
}

void CElidedLineEdit::Elide() {
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, this)
                               .marginsRemoved(textMargins());
    // One pixel more for the cursor the line keeps room for.
    const int room = contents.width() - 2 * kInnerMargin - 1;
    const QString shown = fontMetrics().elidedText(full_, Qt::ElideMiddle, std::max(room, 0));
    if (text() != shown)
        setText(shown);
    setCursorPosition(0);
    setToolTip(shown == full_ ? QString() : full_);
}
