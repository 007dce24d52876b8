#include "app/CDlgHelp.h"
#include "app/AppResources.h"
#include "ui_CDlgHelp.h"

CDlgHelp::CDlgHelp(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::CDlgHelp>()) {
    ui_->setupUi(this);
    ui_->page->setHtml(AppResources::Page(QStringLiteral("help.html")));
    connect(ui_->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

CDlgHelp::~CDlgHelp() = default;
