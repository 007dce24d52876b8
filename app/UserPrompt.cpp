#include "app/UserPrompt.h"
#include "resources/StringTable.h"
#include "resources/resource.h"

#include <QAbstractButton>

#include <utility>

UserPrompt::Handler& UserPrompt::CurrentHandler() {
    static Handler handler;
    return handler;
}

void UserPrompt::SetHandler(Handler handler) {
    CurrentHandler() = std::move(handler);
}

QMessageBox::StandardButton UserPrompt::Show(QWidget* parent, Icon icon, const QString& text,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton,
                                             const QString& saveText) {
    if (const Handler& handler = CurrentHandler())
        return handler(icon, text, buttons);
    QMessageBox::Icon boxIcon = QMessageBox::Information;
    switch (icon) {
    case Icon::Information:
        boxIcon = QMessageBox::Information;
        break;
    case Icon::Question:
        boxIcon = QMessageBox::Question;
        break;
    case Icon::Warning:
        boxIcon = QMessageBox::Warning;
        break;
    case Icon::Critical:
        boxIcon = QMessageBox::Critical;
        break;
    }
    QMessageBox box(boxIcon, StringTable::Get(Res::AFX_IDS_APP_TITLE), text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    if (QAbstractButton* save = box.button(QMessageBox::Save); save && !saveText.isEmpty())
        save->setText(saveText);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
