#include "app/COOExToolBar.h"

#include <QActionEvent>
#include <QEvent>

COOExToolBar::COOExToolBar(const QString& title, QWidget* parent) : QToolBar(title, parent) {
    SetLargeImages(true);
}

void COOExToolBar::SetLargeImages(bool large) {
    large_ = large;
    const int side = large ? kLargeImage : kSmallImage;
    setIconSize(QSize(side, side));
}

void COOExToolBar::SetTextLabels(bool on) {
    setToolButtonStyle(on ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
}

void COOExToolBar::actionEvent(QActionEvent* event) {
    QToolBar::actionEvent(event);
    if (event->type() == QEvent::ActionAdded)
        if (QWidget* button = widgetForAction(event->action()))
            button->installEventFilter(this);
}

bool COOExToolBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && !toolTips_)
        return true;
    return QToolBar::eventFilter(watched, event);
}
