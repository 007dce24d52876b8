#pragma once

#include <QToolBar>

// A toolbar with large (48 x 48) or small (16 x 16) images and its buttons' texts under
// them. Tool tips can be switched off: with the texts shown they only repeat them.
class COOExToolBar : public QToolBar {
    Q_OBJECT

public:
    static constexpr int kSmallImage = 16;
    static constexpr int kLargeImage = 48;

    explicit COOExToolBar(const QString& title, QWidget* parent = nullptr);

    void SetLargeImages(bool large);
    bool HasLargeImages() const { return large_; }
    void SetTextLabels(bool on);
    void SetToolTips(bool on) { toolTips_ = on; }

protected:
    void actionEvent(QActionEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool large_ = true;
    bool toolTips_ = true;
};
