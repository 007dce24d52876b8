#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class CDlgHelp;
}

// The help page: how to open, edit, save, play and send a song.
class CDlgHelp : public QDialog {
    Q_OBJECT

public:
    explicit CDlgHelp(QWidget* parent = nullptr);
    ~CDlgHelp() override;

private:
    std::unique_ptr<Ui::CDlgHelp> ui_;
};
