#include "app/CDlgPolyphony.h"

#include "song/ChannelCommands.h"
#include "song/SongData.h"
#include "ui_CDlgPolyphony.h"

#include <QScrollBar>

#include <algorithm>

namespace {

// The scroll bar counts in steps of at least a millisecond, so that a song of any length
// fits its integer range.
constexpr std::int64_t kScrollSteps = 1000000;

} // namespace

CDlgPolyphony::CDlgPolyphony(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CDlgPolyphony>()) {
    ui_->setupUi(this);
    // A window of its own that can be resized and maximised; the graph takes the room.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setModal(false);
    setSizeGripEnabled(true);

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
    connect(ui_->graph, &CPolyphonyGraph::visibleRangeChanged, this,
            &CDlgPolyphony::UpdateScrollBar);
    connect(ui_->graphScrollBar, &QScrollBar::valueChanged, this,
            [this](int value) { ui_->graph->ScrollTo(value * scrollUnit_); });

    Refresh(nullptr);
    // The layout of the boxes above a graph of 600 x 200 pixels is the smallest size.
    setMinimumSize(sizeHint());
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

void CDlgPolyphony::UpdateScrollBar() {
    const CPolyphonyGraph::TimeRange range = ui_->graph->VisibleRange();
    const std::int64_t length = ui_->graph->SongLength();
    scrollUnit_ = std::max<std::int64_t>(1, (length + kScrollSteps - 1) / kScrollSteps);
    QScrollBar* bar = ui_->graphScrollBar;
    const QSignalBlocker quiet(bar);
    const int page = static_cast<int>(std::max<std::int64_t>(1, range.span / scrollUnit_));
    bar->setRange(0, static_cast<int>((length - range.span) / scrollUnit_));
    bar->setPageStep(page);
    bar->setSingleStep(std::max(1, page / CPolyphonyGraph::kScrollFraction));
    bar->setValue(static_cast<int>(range.start / scrollUnit_));
    bar->setEnabled(ui_->graph->IsZoomed());
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
