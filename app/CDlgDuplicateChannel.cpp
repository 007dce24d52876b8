#include "app/CDlgDuplicateChannel.h"
#include "resources/StringTable.h"
#include "resources/resource.h"

#include "ui_CDlgDuplicateChannel.h"

#include <QLayout>

CDlgDuplicateChannel::CDlgDuplicateChannel(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CDlgDuplicateChannel>()) {
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    connect(ui_->destinationCombo, &QComboBox::currentIndexChanged, this,
            &CDlgDuplicateChannel::OnDestinationChanged);
    connect(ui_->okButton, &QPushButton::clicked, this, &CDlgDuplicateChannel::accept);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &CDlgDuplicateChannel::reject);
}

CDlgDuplicateChannel::~CDlgDuplicateChannel() = default;

void CDlgDuplicateChannel::SetData(int source, const std::vector<int>& destinations,
                                   const QString& instrument) {
    source_ = source;
    instrument_ = instrument;
    destinations_.clear();
    for (int channel : destinations)
        if (channel >= 0 && channel < 16 && destinations_.size() < 16)
            destinations_.push_back(channel);

    // One item per destination: the channel number as text, the index as data.
    {
        const QSignalBlocker blocker(ui_->destinationCombo);
        ui_->destinationCombo->clear();
        for (int channel : destinations_)
            ui_->destinationCombo->addItem(QString::number(channel + 1), channel);
        ui_->destinationCombo->setCurrentIndex(destinations_.empty() ? -1 : 0);
    }
    destination_ = destinations_.empty() ? -1 : destinations_.front();
    sourceLabel_ = StringTable::Get(Res::IDS_SOURCE_CHANNEL).arg(source_ + 1);
    WriteControls();
}

void CDlgDuplicateChannel::ReadControls() {
    const int item = ui_->destinationCombo->currentIndex();
    if (item >= 0)
        destination_ = ui_->destinationCombo->itemData(item).toInt();
}

void CDlgDuplicateChannel::WriteControls() {
    ui_->sourceLabel->setText(sourceLabel_);
    ui_->instrumentEdit->setText(instrument_);
    ui_->instrumentEdit->setCursorPosition(0);
}

void CDlgDuplicateChannel::OnDestinationChanged(int) {
    ReadControls();
}
