#include "app/CAboutDlg.h"
#include "app/AppResources.h"
#include "resources/StringTable.h"
#include "resources/resource.h"
#include "ui_CAboutDlg.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::CAboutDlg>()) {
    ui_->setupUi(this);
    ui_->logo->SetBitmaps(Res::IDB_LOGO, Res::IDB_LOGO_MASK);
    ui_->versionLabel->setText(VersionText());
    ui_->aboutText->setText(StringTable::Get(Res::IDS_ABOUT_TEXT));
    ui_->credits->setHtml(AppResources::Page(QStringLiteral("credits.html")));
    connect(ui_->buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

CAboutDlg::~CAboutDlg() = default;

QString CAboutDlg::VersionText() {
    return StringTable::Get(Res::IDS_ABOUT_VERSION)
        .arg(QUELLOR_VERSION_MAJOR)
        .arg(QUELLOR_VERSION_MINOR);
}
