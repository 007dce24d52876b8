#include "CQuellorView.h"
#include "AppResources.h"
#include "CQuellorDoc.h"
#include "resource.h"
#include "ui_CQuellorView.h"

#include "ChannelCommands.h"
#include "InstrumentMap.h"
#include "SongSwitches.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <vector>

namespace {

// Restores a flag when it goes out of scope.
class FlagGuard {
public:
    explicit FlagGuard(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagGuard() { flag_ = old_; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& flag_;
    bool old_;
};

constexpr int kChannelRole = Qt::UserRole;

int ChannelOf(const QTreeWidgetItem* item) {
    return item->data(0, kChannelRole).toInt();
}

} // namespace

CQuellorView::CQuellorView(CQuellorDoc& doc, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::CQuellorView>()), doc_(doc) {
    ui_->setupUi(this);
    ui_->channelList_1000->header()->setSectionsMovable(false);
    ui_->channelList_1000->header()->setStretchLastSection(true);
    ui_->progress_1070->setRange(0, 255);

    connect(ui_->channelList_1000, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { OnCurrentRowChanged(current); });
    connect(ui_->priorityCombo_1003, &QComboBox::activated, this, &CQuellorView::OnPriorityChosen);
    connect(ui_->mipCombo_1004, &QComboBox::activated, this, &CQuellorView::OnMipChosen);
    connect(ui_->vibraCheck_1021, &QCheckBox::clicked, this, &CQuellorView::OnVibraClicked);
    connect(&doc_, &CQuellorDoc::initialUpdate, this, &CQuellorView::OnInitialUpdate);
    connect(&doc_, &CQuellorDoc::updated, this, &CQuellorView::OnUpdate);
}

CQuellorView::~CQuellorView() = default;

void CQuellorView::OnInitialUpdate() {
    OnUpdate(0);
    if (!firstUpdateDone_) {
        firstUpdateDone_ = true;
        ui_->logo_1020->SetBitmaps(Res::IDB_LOGO, Res::IDB_LOGO_MASK);

        QTreeWidget* list = ui_->channelList_1000;
        const int w = list->minimumWidth() - 2 * list->frameWidth() -
                      list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
        list->setColumnWidth(0, w * 25 / 100);
        list->setColumnWidth(1, w * 55 / 100);
        list->setColumnWidth(2, w * 20 / 100);

        images_ = {AppResources::Icon(Res::IDI_CHANNEL_MUTED),
                   AppResources::Icon(Res::IDI_CHANNEL_AUDIBLE),
                   AppResources::Icon(Res::IDI_VIBRA_MUTED),
                   AppResources::Icon(Res::IDI_VIBRA_AUDIBLE)};
    }
    RefreshView(true, -1);
}

void CQuellorView::OnUpdate(int hint) {
    RefreshView(false, hint - 1);
    ui_->progress_1070->setRange(0, 255);
}

bool CQuellorView::IsSongLoaded() const {
    return !doc_.IsNoDocument();
}

void CQuellorView::RefreshView(bool selectFirst, int channel) {
    FlagGuard guard(updating_);
    QTreeWidget* list = ui_->channelList_1000;
    bool enable = true;
    if (!IsSongLoaded()) {
        Clear();
        sequencePolyphonyText_.clear();
        enable = false;
    } else if (channel != -1) {
        const int row = FindRowOfChannel(channel);
        if (row >= 0) {
            list->topLevelItem(row)->setIcon(0, images_[ChannelImageIndex(channel)]);
            for (int r = 0; r < list->topLevelItemCount(); ++r)
                SetRowTexts(list->topLevelItem(r), ChannelOf(list->topLevelItem(r)));
            // A priority change moves rows: keep them in priority order at once.
            SortRows();
        }
    } else {
        Clear();
        int used = 0;
        for (int ch = 0; ch < SongData::kChannels; ++ch) {
            if (!doc_.used[ch])
                continue;
            ++used;
            if (ch != draggedChannel_)
                list->addTopLevelItem(MakeRow(ch));
        }
        for (int p = 1; p <= used; ++p)
            ui_->priorityCombo_1003->addItem(QString::number(p), p);
        SortRows();
        songNameText_ = QString::fromStdString(doc_.title);
        sourceMipText_ = QString::fromStdString(ChannelCommands::SourceMipText(doc_));
    }
    if (enable)
        sequencePolyphonyText_ = QString::number(doc_.sequencePolyphony);

    EnablePanels(enable);
    ui_->vibraCheck_1021->setEnabled(false);

    if (selectFirst) {
        if (list->topLevelItemCount() > 0)
            ShowChannelInfo(ChannelOf(list->topLevelItem(0)));
    } else {
        ShowChannelInfo(doc_.GetCurrentChannel());
    }
    if (draggedChannel_ < 0)
        SelectCurrentChannelRow();
    WriteControls();
}

void CQuellorView::ShowChannelInfo(int channel) {
    FlagGuard guard(updating_);
    instrumentText_.clear();
    polyphonyText_.clear();
    ui_->mipCombo_1004->clear();
    if (IsSongLoaded() && channel >= 0 && channel < SongData::kChannels) {
        doc_.SetCurrentChannel(channel);
        const int maxPolyphony = doc_.maxPolyphony[channel];
        polyphonyText_ = QString::number(maxPolyphony);
        vibraCheck_ = doc_.vibraChannel == channel;
        instrumentText_ = QString::fromStdString(ChannelCommands::InstrumentText(doc_, channel));
        ui_->vibraCheck_1021->setEnabled(maxPolyphony == 1);
        for (int v = 0; v <= maxPolyphony; ++v)
            ui_->mipCombo_1004->addItem(QString::number(v), v);
        const int priority = doc_.priority[channel];
        ui_->priorityCombo_1003->setCurrentIndex(
            priority >= 1 && priority <= ui_->priorityCombo_1003->count() ? priority - 1 : -1);
        if (doc_.vibraChannel == channel) {
            ui_->mipCombo_1004->setEnabled(false);
        } else {
            ui_->mipCombo_1004->setEnabled(true);
            const int polyphony = doc_.polyphony[channel];
            ui_->mipCombo_1004->setCurrentIndex(
                polyphony >= 0 && polyphony <= maxPolyphony ? polyphony : -1);
        }
    }
    WriteControls();
}

void CQuellorView::SelectCurrentChannelRow() {
    const int row = FindRowOfChannel(doc_.GetCurrentChannel());
    if (row < 0)
        return;
    FlagGuard guard(updating_);
    QTreeWidget* list = ui_->channelList_1000;
    QTreeWidgetItem* item = list->topLevelItem(row);
    list->clearSelection();
    list->setCurrentItem(item);
    item->setSelected(true);
    list->scrollToItem(item, QAbstractItemView::EnsureVisible);
}

int CQuellorView::FindRowOfChannel(int channel) const {
    const QTreeWidget* list = ui_->channelList_1000;
    for (int r = 0; r < list->topLevelItemCount(); ++r)
        if (ChannelOf(list->topLevelItem(r)) == channel)
            return r;
    return -1;
}

int CQuellorView::ChannelImageIndex(int channel) const {
    if (!IsSongLoaded())
        return 0;
    return (doc_.vibraChannel == channel ? 2 : 0) + (doc_.enabled[channel] ? 1 : 0);
}

int CQuellorView::ComparePriority(const SongData& song, int first, int second) {
    if (first == second)
        return 0;
    if (song.priority[first] > song.priority[second])
        return 1;
    if (song.priority[first] < song.priority[second])
        return -1;
    return 0;
}

int CQuellorView::SelectedChannel() const {
    const auto selected = ui_->channelList_1000->selectedItems();
    return selected.isEmpty() ? -1 : ChannelOf(selected.first());
}

void CQuellorView::OnInstrumentMapping(int commandId) {
    SetInstrumentMapIndex(static_cast<std::uint32_t>(commandId - Res::ID_MAP_SPMIDI));
    doc_.UpdateAllViews(0);
}

void CQuellorView::OnVibraMode(int commandId) {
    SongSwitches::SetVibraMode(static_cast<std::uint32_t>(commandId - Res::ID_VIBRA_DP1));
    doc_.UpdateAllViews(0);
}

void CQuellorView::ReadControls() {
    vibraCheck_ = ui_->vibraCheck_1021->isChecked();
}

void CQuellorView::WriteControls() {
    ui_->instrumentText_1001->setText(instrumentText_);
    ui_->polyphonyText_1002->setText(polyphonyText_);
    ui_->songNameText_1005->setText(songNameText_);
    ui_->sourceMipText_1006->setText(sourceMipText_);
    ui_->sequencePolyphonyText_1007->setText(sequencePolyphonyText_);
    ui_->vibraCheck_1021->setChecked(vibraCheck_);
}

void CQuellorView::Clear() {
    ui_->channelList_1000->clear();
    ui_->priorityCombo_1003->clear();
    ui_->mipCombo_1004->clear();
    songNameText_.clear();
    sourceMipText_.clear();
    vibraCheck_ = false;
}

void CQuellorView::EnablePanels(bool enable) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             ui_->spmidiGroup_1016, ui_->instrumentLabel_1012, ui_->instrumentText_1001,
             ui_->polyphonyLabel_1013, ui_->polyphonyText_1002, ui_->priorityLabel_1014,
             ui_->priorityCombo_1003, ui_->mipLabel_1015, ui_->mipCombo_1004,
             ui_->songNameLabel_1017, ui_->songNameText_1005, ui_->sourceMipLabel_1018,
             ui_->sourceMipText_1006, ui_->sequencePolyphonyLabel_1055,
             ui_->sequencePolyphonyText_1007})
        control->setEnabled(enable);
}

QTreeWidgetItem* CQuellorView::MakeRow(int channel) const {
    auto* item = new QTreeWidgetItem;
    item->setText(0, QString::number(channel + 1));
    item->setIcon(0, images_[ChannelImageIndex(channel)]);
    item->setData(0, kChannelRole, channel);
    SetRowTexts(item, channel);
    return item;
}

void CQuellorView::SetRowTexts(QTreeWidgetItem* item, int channel) const {
    item->setText(1, QString::fromStdString(ChannelCommands::InstrumentText(doc_, channel)));
    item->setText(2, QString::number(doc_.mip[channel]));
}

void CQuellorView::SortRows() {
    QTreeWidget* list = ui_->channelList_1000;
    std::vector<QTreeWidgetItem*> rows;
    while (list->topLevelItemCount() > 0)
        rows.push_back(list->takeTopLevelItem(0));
    // Rows were added by ascending channel; equal priorities keep that order.
    std::stable_sort(rows.begin(), rows.end(), [this](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        return ComparePriority(doc_, ChannelOf(a), ChannelOf(b)) < 0;
    });
    for (QTreeWidgetItem* row : rows)
        list->addTopLevelItem(row);
}

void CQuellorView::OnCurrentRowChanged(QTreeWidgetItem* current) {
    if (updating_ || current == nullptr)
        return;
    ReadControls();
    ShowChannelInfo(ChannelOf(current));
}

void CQuellorView::OnPriorityChosen(int index) {
    if (!IsSongLoaded())
        return;
    ReadControls();
    const int channel = doc_.GetCurrentChannel();
    if (index >= 0) {
        doc_.SetChannelPriority(channel, ui_->priorityCombo_1003->itemData(index).toInt());
        doc_.ComputeMipTable();
        doc_.ComputeSequencePolyphony();
        doc_.SetModifiedFlag(true);
        doc_.UpdateAllViews(channel + 1);
    }
    WriteControls();
}

void CQuellorView::OnMipChosen(int index) {
    if (!IsSongLoaded())
        return;
    ReadControls();
    const int channel = doc_.GetCurrentChannel();
    if (index >= 0) {
        doc_.SetPolyphony(channel, ui_->mipCombo_1004->itemData(index).toInt());
        doc_.ComputeMipTable();
        doc_.ComputeSequencePolyphony();
        doc_.SetModifiedFlag(true);
        doc_.UpdateAllViews(channel + 1);
    }
    WriteControls();
}

void CQuellorView::OnVibraClicked() {
    if (!IsSongLoaded())
        return;
    ReadControls();
    ChannelCommands::SetVibraTrigger(doc_, doc_.GetCurrentChannel(), vibraCheck_);
    doc_.SetModifiedFlag(true);
    doc_.UpdateAllViews(0);
}
