#pragma once

#include <QLineEdit>
#include <QString>

// A read-only line for a text that may not fit, such as a long song name: it shows the text
// elided in the middle, keeping its beginning and its end, and then the whole text as its
// tool tip. It elides anew whenever its width or font changes.
class CElidedLineEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit CElidedLineEdit(QWidget* parent = nullptr);

    void SetFullText(const QString& text);
    const QString& FullText() const { return full_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Elide();

    QString full_;
};
