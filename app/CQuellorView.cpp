#include "app/CQuellorView.h"
#include "app/AppResources.h"
#include "app/CDlgDuplicateChannel.h"
#include "app/CDlgPolyphony.h"
#include "app/CQuellorDoc.h"
#include "app/UserPrompt.h"
#include "resources/StringTable.h"
#include "resources/resource.h"
#include "ui_CQuellorView.h"

#include "playback/SoundEngine.h"
#include "song/ChannelCommands.h"
#include "song/InstrumentMap.h"

#include <QApplication>
#include <QBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

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
// Progress bar refresh while the song plays and while one channel plays.
constexpr int kSongProgressMs = 20;
constexpr int kChannelProgressMs = 50;
constexpr int kProgressRange = 255;
// How often a drag checks that it still has the mouse.
constexpr int kGrabWatchMs = 100;

int ChannelOf(const QTreeWidgetItem* item) {
    return item->data(0, kChannelRole).toInt();
}

} // namespace

CQuellorView::CQuellorView(CQuellorDoc& doc, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::CQuellorView>()), doc_(doc) {
    ui_->setupUi(this);
    ui_->channelList_1000->header()->setSectionsMovable(false);
    // A wider list gives its room to the instrument names.
    ui_->channelList_1000->header()->setStretchLastSection(false);
    ui_->channelList_1000->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    ui_->channelList_1000->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    ui_->progress_1070->setRange(0, 255);

    connect(ui_->channelList_1000, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { OnCurrentRowChanged(current); });
    connect(ui_->channelList_1000, &QTreeWidget::itemSelectionChanged, this,
            &CQuellorView::selectedChannelChanged);
    connect(ui_->priorityCombo_1003, &QComboBox::activated, this, &CQuellorView::OnPriorityChosen);
    connect(ui_->mipCombo_1004, &QComboBox::activated, this, &CQuellorView::OnMipChosen);
    connect(ui_->vibraCheck_1021, &QCheckBox::clicked, this, &CQuellorView::OnVibraClicked);
    connect(&doc_, &CQuellorDoc::initialUpdate, this, &CQuellorView::OnInitialUpdate);
    connect(&doc_, &CQuellorDoc::updated, this, &CQuellorView::OnUpdate);

    QTreeWidget* list = ui_->channelList_1000;
    connect(list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { OnRowDoubleClicked(item); });
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, &CQuellorView::OnListContextMenu);
    list->viewport()->installEventFilter(this);

    dragImage_ = new QLabel(list->viewport());
    dragImage_->setObjectName(QStringLiteral("dragImage"));
    dragImage_->setAttribute(Qt::WA_TransparentForMouseEvents);
    dragImage_->hide();
    grabWatch_ = new QTimer(this);
    grabWatch_->setInterval(kGrabWatchMs);
    connect(grabWatch_, &QTimer::timeout, this, &CQuellorView::WatchGrab);

    progressTimer_ = new QTimer(this);
    connect(progressTimer_, &QTimer::timeout, this, &CQuellorView::OnProgressTimer);

    // The playing time beside the progress bar: "0:42 / 3:15".
    timeLabel_ = new QLabel(this);
    timeLabel_->setObjectName(QStringLiteral("playTimeLabel"));
    if (auto* form = qobject_cast<QBoxLayout*>(layout())) {
        const int at = form->indexOf(ui_->progress_1070);
        if (at >= 0) {
            form->removeWidget(ui_->progress_1070);
            auto* row = new QHBoxLayout;
            row->addWidget(ui_->progress_1070, 1);
            row->addWidget(timeLabel_);
            form->insertLayout(at, row);
        }
    }
    ShowPlayingTime(0, 0);
}

QString CQuellorView::TimeText(std::uint64_t ms) {
    const std::uint64_t s = ms / 1000;
    const QString seconds = QStringLiteral("%1").arg(s % 60, 2, 10, QLatin1Char('0'));
    if (s < 3600)
        return QStringLiteral("%1:%2").arg(s / 60).arg(seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds);
}

void CQuellorView::ShowPlayingTime(std::uint64_t positionMs, std::uint64_t lengthMs) {
    timeLabel_->setText(QStringLiteral("%1 / %2").arg(TimeText(positionMs), TimeText(lengthMs)));
}

QString CQuellorView::PlayingTimeText() const {
    return timeLabel_->text();
}

CQuellorView::~CQuellorView() = default;

void CQuellorView::OnInitialUpdate() {
    // A drag of the song that is being replaced ends here.
    DropDragState();
    // The progress is the new song's: at its start.
    progressTimer_->stop();
    ui_->progress_1070->setValue(0);
    ShowPlayingTime(0, IsSongLoaded() ? doc_.GetPlayingLength() : 0);
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
    if (polyphony_)
        polyphony_->Refresh(IsSongLoaded() ? static_cast<SongData*>(&doc_) : nullptr);
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
        if (row >= 0 || channel == draggedChannel_) {
            if (row >= 0)
                list->topLevelItem(row)->setIcon(0, images_[ChannelImageIndex(channel)]);
            for (int r = 0; r < list->topLevelItemCount(); ++r)
                SetRowTexts(list->topLevelItem(r), ChannelOf(list->topLevelItem(r)));
            // A priority change moves rows: keep them in priority order at once.
            SortRows();
        }
    } else {
        Clear();
        for (int ch = 0; ch < SongData::kChannels; ++ch)
            if (doc_.used[ch] && ch != draggedChannel_)
                list->addTopLevelItem(MakeRow(ch));
        // The dragged channel has no row, but its priority is still one to choose.
        const ChannelCommands::Range priorities = ChannelCommands::PriorityRange(doc_);
        for (int p = priorities.lo; p <= priorities.hi; ++p)
            ui_->priorityCombo_1003->addItem(QString::number(p), p);
        SortRows();
        songNameText_ = QString::fromStdString(doc_.title);
        sourceMipText_ = QString::fromStdString(ChannelCommands::SourceMipText(doc_));
    }
    if (enable)
        sequencePolyphonyText_ = QString::number(doc_.sequencePolyphony);

    EnablePanels(enable);
    // Disabling the box takes the keyboard focus from it: a box toggled with Space keeps it
    // when it stays enabled.
    const bool vibraFocused = ui_->vibraCheck_1021->hasFocus();
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
    if (vibraFocused && ui_->vibraCheck_1021->isEnabled())
        ui_->vibraCheck_1021->setFocus();
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
        ui_->vibraCheck_1021->setEnabled(ChannelCommands::CanBeVibra(doc_, channel));
        const ChannelCommands::Range choices = ChannelCommands::PolyphonyRange(doc_, channel);
        for (int v = choices.lo; v <= choices.hi; ++v)
            ui_->mipCombo_1004->addItem(QString::number(v), v);
        const int priority = doc_.priority[channel];
        ui_->priorityCombo_1003->setCurrentIndex(
            priority >= 1 && priority <= ui_->priorityCombo_1003->count() ? priority - 1 : -1);
        if (!ChannelCommands::CanSetPolyphony(doc_, channel)) {
            ui_->mipCombo_1004->setEnabled(false);
        } else {
            ui_->mipCombo_1004->setEnabled(true);
            const int polyphony = doc_.polyphony[channel];
            ui_->mipCombo_1004->setCurrentIndex(choices.Contains(polyphony) ? polyphony - choices.lo
                                                                            : -1);
        }
    }
    WriteControls();
}

void CQuellorView::SelectCurrentChannelRow() {
    const int row = FindRowOfChannel(doc_.GetCurrentChannel());
    if (row < 0)
        return;
    FlagGuard guard(updating_);
    SelectRow(row);
}

void CQuellorView::SelectRow(int row) {
    QTreeWidget* list = ui_->channelList_1000;
    QTreeWidgetItem* item = list->topLevelItem(row);
    list->clearSelection();
    list->setCurrentItem(item);
    item->setSelected(true);
    list->scrollToItem(item, QAbstractItemView::EnsureVisible);
}

bool CQuellorView::SelectChannel(int channel) {
    const int row = FindRowOfChannel(channel);
    if (row < 0)
        return false;
    SelectRow(row);
    return true;
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
    // The engine keeps the choice with its settings; names and saving follow the song's.
    const auto index = static_cast<std::uint32_t>(commandId - Res::ID_MAP_SPMIDI);
    SetInstrumentMapIndex(index);
    doc_.switches.instrumentMapIndex = index;
    doc_.UpdateAllViews(0);
}

void CQuellorView::OnVibraMode(int commandId) {
    doc_.switches.vibraMode = static_cast<std::uint32_t>(commandId - Res::ID_VIBRA_DP1);
    doc_.UpdateAllViews(0);
}

void CQuellorView::ReadControls() {
    vibraCheck_ = ui_->vibraCheck_1021->isChecked();
}

void CQuellorView::WriteControls() {
    ui_->instrumentText_1001->setText(instrumentText_);
    ui_->polyphonyText_1002->setText(polyphonyText_);
    // A long name is elided in the middle, the whole name in its tool tip.
    ui_->songNameText_1005->SetFullText(songNameText_);
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
    // A muted row reads as muted at a glance, selected or not: grey text is lost under the
    // selection colour, so the font is italic too.
    const bool muted = !doc_.enabled[channel];
    QFont font = item->font(0);
    font.setItalic(muted);
    const QBrush text =
        muted ? ui_->channelList_1000->palette().brush(QPalette::Disabled, QPalette::Text)
              : QBrush();
    for (int column = 0; column < item->columnCount(); ++column) {
        item->setFont(column, font);
        item->setForeground(column, text);
    }
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
    ApplyComboChoice(
        ui_->priorityCombo_1003, index, Res::IDS_STEP_PRIORITY,
        [this](int channel, int value) { ChannelCommands::SetPriority(doc_, channel, value); });
}

void CQuellorView::OnMipChosen(int index) {
    ApplyComboChoice(
        ui_->mipCombo_1004, index, Res::IDS_STEP_POLYPHONY,
        [this](int channel, int value) { ChannelCommands::SetPolyphony(doc_, channel, value); });
}

// A choice in the priority or the MIP combo: the value goes to the current channel, and
// that channel's row and the song-wide sums are refreshed.
void CQuellorView::ApplyComboChoice(QComboBox* combo, int index, int stepText,
                                    const std::function<void(int, int)>& apply) {
    if (!IsSongLoaded())
        return;
    ReadControls();
    const int channel = doc_.GetCurrentChannel();
    if (index >= 0) {
        apply(channel, combo->itemData(index).toInt());
        doc_.CommitEdit(StringTable::Get(stepText));
        doc_.UpdateAllViews(channel + 1);
    }
    WriteControls();
}

void CQuellorView::OnVibraClicked() {
    if (!IsSongLoaded())
        return;
    ReadControls();
    ChannelCommands::SetVibraTrigger(doc_, doc_.GetCurrentChannel(), vibraCheck_);
    doc_.CommitEdit(StringTable::Get(Res::IDS_STEP_VIBRA));
    doc_.UpdateAllViews(0);
}

void CQuellorView::OnChannelMute() {
    if (!IsSongLoaded())
        return;
    const int channel = SelectedChannel();
    if (channel < 0)
        return;
    ChannelCommands::ToggleMute(doc_, channel);
    // Muting changes what Save writes: the muted channel is left out.
    doc_.CommitEdit(StringTable::Get(Res::IDS_STEP_MUTE));
    doc_.UpdateAllViews(channel + 1);
}

void CQuellorView::OnRowDoubleClicked(QTreeWidgetItem* item) {
    QTreeWidget* list = ui_->channelList_1000;
    const int row = item ? list->indexOfTopLevelItem(item) : -1;
    if (!IsSongLoaded() || row < 0 || row >= list->topLevelItemCount())
        return;
    const int channel = ChannelOf(item);
    ChannelCommands::ToggleMute(doc_, channel);
    // Muting changes what Save writes: the muted channel is left out.
    doc_.CommitEdit(StringTable::Get(Res::IDS_STEP_MUTE));
    doc_.UpdateAllViews(channel + 1);
}

void CQuellorView::OnChannelSolo() {
    if (!IsSongLoaded())
        return;
    const int channel = SelectedChannel();
    if (channel < 0)
        return;
    ChannelCommands::ToggleSolo(doc_, channel);
    doc_.CommitEdit(StringTable::Get(Res::IDS_STEP_SOLO));
    doc_.UpdateAllViews(0);
}

void CQuellorView::OnChannelRemove() {
    if (!IsSongLoaded())
        return;
    const int channel = SelectedChannel();
    if (channel < 0)
        return;
    const QString instrument = QString::fromStdString(
        GetInstrumentName(doc_.GetProgram(channel), channel, doc_.channel11Percussion,
                          doc_.switches.instrumentMapIndex));
    const QString question =
        StringTable::Get(Res::IDS_ASK_REMOVE).arg(QString::number(channel + 1), instrument);
    if (UserPrompt::Show(this, UserPrompt::Icon::Question, question,
                         QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    ChannelCommands::Remove(doc_, channel);
    doc_.CommitEdit(StringTable::Get(Res::IDS_STEP_REMOVE), true);
    // The removed channel has no row any more: the first row becomes the current channel, so
    // that the panel, its combos and Play Solo act on a channel of the song.
    const std::vector<int> order = ChannelCommands::ChannelsInPriorityOrder(doc_);
    if (!order.empty())
        doc_.SetCurrentChannel(order.front());
    doc_.UpdateAllViews(0);
}

void CQuellorView::OnChannelDuplicate() {
    if (!IsSongLoaded())
        return;
    const int source = SelectedChannel();
    if (source < 0) {
        UserPrompt::Show(this, UserPrompt::Icon::Information,
                         StringTable::Get(Res::IDS_ONE_DUPLICATE));
        return;
    }
    if (!ChannelCommands::CanDuplicate(doc_)) {
        UserPrompt::Show(this, UserPrompt::Icon::Information,
                         StringTable::Get(Res::IDS_NO_CHANNEL_LEFT));
        return;
    }
    CDlgDuplicateChannel dialog(this);
    dialog.SetData(source, ChannelCommands::DuplicateCandidates(doc_),
                   QString::fromStdString(ChannelCommands::InstrumentText(doc_, source)));
    if (dialog.exec() != QDialog::Accepted || dialog.GetDestination() < 0)
        return;
    ChannelCommands::Duplicate(doc_, source, dialog.GetDestination());
    doc_.CommitEdit(StringTable::Get(Res::IDS_STEP_DUPLICATE), true);
    doc_.UpdateAllViews(0);
}

void CQuellorView::OnViewPolyphony() {
    if (polyphony_ == nullptr) {
        polyphony_ = new CDlgPolyphony(this);
        connect(polyphony_, &CDlgPolyphony::channelsChanged, this, [this](int hint) {
            doc_.CommitEdit(StringTable::Get(Res::IDS_STEP_CHANNEL_BOXES));
            doc_.UpdateAllViews(hint);
        });
    }
    polyphony_->Refresh(IsSongLoaded() ? static_cast<SongData*>(&doc_) : nullptr);
    polyphony_->show();
    polyphony_->raise();
    polyphony_->activateWindow();
}

void CQuellorView::OnPlay() {
    doc_.RenderForPlayback();
    StartProgressTimer(kSongProgressMs);
}

void CQuellorView::OnPlaySolo() {
    doc_.RenderChannelForPlayback();
    StartProgressTimer(kChannelProgressMs);
}

void CQuellorView::OnStop() {
    progressTimer_->stop();
    doc_.StopPlayback();
}

int CQuellorView::ProgressTimerInterval() const {
    return progressTimer_->isActive() ? progressTimer_->interval() : 0;
}

void CQuellorView::StartProgressTimer(int periodMs) {
    progressTimer_->stop();
    progressTimer_->start(periodMs);
}

void CQuellorView::OnProgressTimer() {
    if (!doc_.IsPlaying()) {
        // The song ended by itself: the bar keeps its last position.
        progressTimer_->stop();
        return;
    }
    std::uint64_t length = 0;
    std::uint64_t position = 0;
    if (doc_.GetProgress(length, position)) {
        ui_->progress_1070->setValue(
            static_cast<int>(SongPlayer::ScaleProgress(length, position, kProgressRange)));
        ShowPlayingTime(std::min(position, length), length);
    }
}

void CQuellorView::OnListContextMenu(const QPoint& pos) {
    if (!IsSongLoaded() || SelectedChannel() < 0)
        return;
    emit channelMenuRequested(ui_->channelList_1000->viewport()->mapToGlobal(pos));
}

bool CQuellorView::eventFilter(QObject* watched, QEvent* event) {
    QTreeWidget* list = ui_->channelList_1000;
    if (watched != list->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        pressedChannel_ = -1;
        if (mouse->button() == Qt::LeftButton && IsSongLoaded() && !IsDragging()) {
            if (QTreeWidgetItem* item = list->itemAt(mouse->position().toPoint())) {
                pressedChannel_ = ChannelOf(item);
                pressPos_ = mouse->position().toPoint();
            }
        }
        break;
    }
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (pressedChannel_ < 0)
            break;
        if (!(mouse->buttons() & Qt::LeftButton)) {
            pressedChannel_ = -1;
            break;
        }
        if ((mouse->position().toPoint() - pressPos_).manhattanLength() >=
            QApplication::startDragDistance()) {
            const int channel = pressedChannel_;
            pressedChannel_ = -1;
            BeginDrag(channel, pressPos_);
        }
        // The list does not drag-select: a pressed row either stays or is dragged.
        return true;
    }
    case QEvent::MouseButtonRelease:
        pressedChannel_ = -1;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void CQuellorView::BeginDrag(int channel, const QPoint& start) {
    QTreeWidget* list = ui_->channelList_1000;
    const int row = FindRowOfChannel(channel);
    if (row < 0 || !IsSongLoaded())
        return;
    const QRect rowRect = list->visualItemRect(list->topLevelItem(row));
    const QRect band(0, rowRect.top(), list->viewport()->width(), rowRect.height());
    const QPixmap image = band.isEmpty() ? QPixmap() : list->viewport()->grab(band);
    if (image.isNull())
        return;

    draggedChannel_ = channel;
    pointerOutside_ = false;
    rowHeight_ = list->visualItemRect(list->topLevelItem(0)).height();
    hotSpot_ = QPoint(start.x() - band.left(), rowHeight_ > 0 ? start.y() % rowHeight_ : 0);
    // The full refresh leaves the dragged channel's row out.
    doc_.UpdateAllViews(0);

    dragImage_->setPixmap(image);
    dragImage_->adjustSize();
    MoveDragImage(start);
    dragImage_->raise();
    dragImage_->show();
    grabMouse();
    list->viewport()->repaint();
    grabWatch_->start();
}

void CQuellorView::DragTo(const QPoint& globalPos) {
    if (!IsSongLoaded() || !doc_.used[draggedChannel_]) {
        EndDrag();
        return;
    }
    QTreeWidget* list = ui_->channelList_1000;
    const QRect area = list->contentsRect();
    const QRect screenArea(list->mapToGlobal(area.topLeft()), area.size());
    if (!screenArea.contains(globalPos)) {
        if (!pointerOutside_) {
            dragImage_->hide();
            setCursor(Qt::ForbiddenCursor);
            pointerOutside_ = true;
        }
        return;
    }
    setCursor(Qt::ArrowCursor);
    if (pointerOutside_) {
        list->viewport()->update();
        dragImage_->show();
        pointerOutside_ = false;
    }

    // The row under the pointer, in the list's own coordinates, is the new priority: the
    // dragged channel has no row meanwhile, so the channel of row k (from 1) gives up place k
    // to it. Above the first row (the header) is priority 1, below the last the lowest.
    const ChannelCommands::Range priorities = ChannelCommands::PriorityRange(doc_);
    QWidget* viewport = list->viewport();
    const QPoint at = viewport->mapFromGlobal(globalPos);
    int target = priorities.hi;
    if (at.y() < 0) {
        target = priorities.lo;
    } else if (QTreeWidgetItem* item = list->itemAt(QPoint(0, at.y()))) {
        target = list->indexOfTopLevelItem(item) + 1;
    } else if (list->topLevelItemCount() > 0 &&
               at.y() < list->visualItemRect(list->topLevelItem(0)).top()) {
        target = priorities.lo;
    }
    target = std::clamp(target, priorities.lo, priorities.hi);
    if (doc_.priority[draggedChannel_] != target) {
        ChannelCommands::SetPriority(doc_, draggedChannel_, target);
        // The sums follow at once; the rows of the other channels keep their order.
        doc_.UpdateAllViews(draggedChannel_ + 1);
    }
    MoveDragImage(at);
}

void CQuellorView::MoveDragImage(const QPoint& viewportPos) {
    // The picture lives on the list's viewport: it never covers the header.
    QWidget* viewport = ui_->channelList_1000->viewport();
    const QPoint topLeft = viewportPos - hotSpot_;
    const int lowest = std::max(0, viewport->height() - dragImage_->height());
    dragImage_->move(topLeft.x(), std::clamp(topLeft.y(), 0, lowest));
}

void CQuellorView::EndDrag() {
    if (!IsDragging())
        return;
    DropDragState();
    // The whole drag is one step.
    doc_.CommitEdit(StringTable::Get(Res::IDS_STEP_DRAG));
    // Every row again, sorted by the new priorities, the current channel's row selected.
    doc_.UpdateAllViews(0);
}

void CQuellorView::DropDragState() {
    grabWatch_->stop();
    draggedChannel_ = -1;
    pointerOutside_ = false;
    pressedChannel_ = -1;
    dragImage_->hide();
    dragImage_->clear();
    unsetCursor();
    if (QWidget::mouseGrabber() == this)
        releaseMouse();
}

void CQuellorView::WatchGrab() {
    // Another window took the mouse, or a pop-up opened: the drag is over.
    if (IsDragging() &&
        (QWidget::mouseGrabber() != this || QApplication::activePopupWidget() != nullptr))
        EndDrag();
}

void CQuellorView::mouseMoveEvent(QMouseEvent* event) {
    if (!IsDragging()) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    DragTo(event->globalPosition().toPoint());
    event->accept();
}

void CQuellorView::mouseReleaseEvent(QMouseEvent* event) {
    if (!IsDragging() || event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    EndDrag();
    event->accept();
}

bool CQuellorView::event(QEvent* event) {
    // No notification tells a widget that its mouse grab was lost; a deactivated window has
    // lost it.
    if (event->type() == QEvent::WindowDeactivate && IsDragging())
        EndDrag();
    return QWidget::event(event);
}

void CQuellorView::hideEvent(QHideEvent* event) {
    EndDrag();
    QWidget::hideEvent(event);
}
