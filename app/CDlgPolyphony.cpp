#include "app/CDlgPolyphony.h"

#include "song/ChannelCommands.h"
#include "song/SongData.h"
#include "ui_CDlgPolyphony.h"

CDlgPolyphony::CDlgPolyphony(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CDlgPolyphony>()) {
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(false);

    boxes_ = {ui_->channelBox1,  ui_->channelBox2,  ui_->channelBox3,  ui_->channelBox4,
              ui_->channelBox5,  ui_->channelBox6,  ui_->channelBox7,  ui_->channelBox8,
              ui_->channelBox9,  ui_->channelBox10, ui_->channelBox11, ui_->channelBox12,
              ui_->channelBox13, ui_->channelBox14, ui_->channelBox15, ui_->channelBox16};
    for (int i = 0; i < SongData::kChannels; ++i) {
        boxes_[i]->setText(tr("Chn.: %1").arg(i + 1));
        // clicked, not toggled: Refresh() sets the boxes without changing the song.
        connect(boxes_[i], &QCheckBox::clicked, this,
                [this, i](bool ticked) { OnChannelClicked(i, ticked); });
    }
    connect(ui_->allButton, &QPushButton::clicked, this, [this] { SetAllChannels(true); });
    connect(ui_->noneButton, &QPushButton::clicked, this, [this] { SetAllChannels(false); });

    Refresh(nullptr);
    // Not resizable.
    setFixedSize(sizeHint());
}

CDlgPolyphony::~CDlgPolyphony() = default;

void CDlgPolyphony::Refresh(SongData* song) {
    song_ = song;
    ui_->graph->Refresh(song);
    for (int i = 0; i < SongData::kChannels; ++i) {
        const bool used = song && song->IsChannelUsed(i);
        boxes_[i]->setEnabled(used);
        boxes_[i]->setChecked(used && song->enabled[i]);
    }
}

void CDlgPolyphony::OnChannelClicked(int channel, bool ticked) {
    if (!song_)
        return;
    ChannelCommands::SetEnabled(*song_, channel, ticked);
    ChannelsEdited(channel + 1);
}

void CDlgPolyphony::SetAllChannels(bool enabled) {
    if (!song_)
        return;
    ChannelCommands::SetAllEnabled(*song_, enabled);
    ChannelsEdited(0);
}

void CDlgPolyphony::ChannelsEdited(int hint) {
    // The owner's views refresh this window too; refreshing here keeps it right on its own.
    Refresh(song_);
    emit channelsChanged(hint);
}
