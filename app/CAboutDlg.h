#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class CAboutDlg;
}

// The About box: the logo, the program's version and the credits page.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

    // "Quellor Version <major>.<minor>" of this build.
    static QString VersionText();

private:
    std::unique_ptr<Ui::CAboutDlg> ui_;
};
