#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// Every message box of the program goes through here, so that tests can answer them.
class UserPrompt {
public:
    enum class Icon { Information, Question, Warning, Critical };
    using Handler = std::function<QMessageBox::StandardButton(
        Icon icon, const QString& text, QMessageBox::StandardButtons buttons)>;

    // Shows a modal box titled "Quellor" and returns the button chosen; `saveText`, when
    // given, is the Save button's caption.
    static QMessageBox::StandardButton
    Show(QWidget* parent, Icon icon, const QString& text,
         QMessageBox::StandardButtons buttons = QMessageBox::Ok,
         QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
         const QString& saveText = QString());
    // Replaces the boxes (tests, the screenshot run); an empty handler brings them back.
    static void SetHandler(Handler handler);

private:
    static Handler& CurrentHandler();
};
