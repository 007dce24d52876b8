#pragma once

#include <QIcon>
#include <QPoint>
#include <QString>
#include <QWidget>

class QComboBox;

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class CDlgPolyphony;
class CQuellorDoc;
class QLabel;
class QTimer;
class QTreeWidgetItem;
class SongData;

namespace Ui {
class CQuellorView;
}

// The main form (101): the used channels of the song in priority order with their
// cumulative MIP values, the song-wide SP-MIDI facts, the current channel's panel with its
// priority and polyphony combos, the playback progress bar and the logo. It runs the channel
// commands, the playback commands and the reordering of priorities by dragging rows.
class CQuellorView : public QWidget {
    Q_OBJECT

public:
    explicit CQuellorView(CQuellorDoc& doc, QWidget* parent = nullptr);
    ~CQuellorView() override;

    // After a document was opened or made empty.
    void OnInitialUpdate();
    // The document's update: 0 everything, channel + 1 that channel's row and the sums.
    void OnUpdate(int hint);
    // Rebuilds the view: `channel` -1 for all, else only that channel's row and the sums.
    void RefreshView(bool selectFirst, int channel);
    // Makes `channel` the document's current channel and fills the channel panel.
    void ShowChannelInfo(int channel);
    // Selects row `row` alone and scrolls to it.
    void SelectRow(int row);
    void SelectCurrentChannelRow();
    // Selects the row of `channel` (0-15) as a click on it does; false when it has no row.
    bool SelectChannel(int channel);
    // The row showing `channel`, or -1.
    int FindRowOfChannel(int channel) const;
    // 0 muted, 1 audible, 2 muted vibra channel, 3 audible vibra channel; 0 without a song.
    int ChannelImageIndex(int channel) const;
    // Sort order of two channels' rows: by priority, 1 first.
    static int ComparePriority(const SongData& song, int first, int second);

    // The channel whose row is being dragged (-1: none); it has no row meanwhile.
    void SetDraggedChannel(int channel) { draggedChannel_ = channel; }
    int GetDraggedChannel() const { return draggedChannel_; }

    // The channel of the selected row, or -1.
    int SelectedChannel() const;

    // Instrument mapping (175 SP-MIDI, 176 GM) and vibra trigger mode (1090, 1091).
    void OnInstrumentMapping(int commandId);
    void OnVibraMode(int commandId);

    // Channel commands on the selected row: 167 Mute, 166 Solo, 164 Remove (asks first),
    // 165 Duplicate (through the Duplicate Channel dialog).
    void OnChannelMute();
    void OnChannelSolo();
    void OnChannelRemove();
    void OnChannelDuplicate();
    // 275: the Polyphony Sequence window, made on first use.
    void OnViewPolyphony();
    CDlgPolyphony* PolyphonyWindow() const { return polyphony_; }

    // 32771 Play, 32772 Play Solo (the current channel), 32773 Stop.
    void OnPlay();
    void OnPlaySolo();
    void OnStop();
    // The progress timer's period in ms; 0 while it does not run.
    int ProgressTimerInterval() const;
    // "0:42 / 3:15": the playing position and the song's length beside the progress bar.
    QString PlayingTimeText() const;
    // "m:ss", or "h:mm:ss" from an hour on.
    static QString TimeText(std::uint64_t ms);

    bool IsDragging() const { return draggedChannel_ >= 0; }

signals:
    // A right-click on the list with a selected row: the frame shows the channel pop-up.
    void channelMenuRequested(const QPoint& globalPos);
    // Another row is the selected one: the commands on the selected channel change state.
    void selectedChannelChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool IsSongLoaded() const;
    void ReadControls();
    void WriteControls();
    void Clear();
    void EnablePanels(bool enable);
    QTreeWidgetItem* MakeRow(int channel) const;
    void SortRows();
    void SetRowTexts(QTreeWidgetItem* item, int channel) const;

    void OnCurrentRowChanged(QTreeWidgetItem* current);
    void OnPriorityChosen(int index);
    void OnMipChosen(int index);
    void ApplyComboChoice(QComboBox* combo, int index, int stepText,
                          const std::function<void(int, int)>& apply);
    void OnVibraClicked();
    void OnRowDoubleClicked(QTreeWidgetItem* item);
    void OnListContextMenu(const QPoint& pos);
    void OnProgressTimer();
    void StartProgressTimer(int periodMs);
    void ShowPlayingTime(std::uint64_t positionMs, std::uint64_t lengthMs);

    // Priority dragging. `start` is in the list viewport's coordinates.
    void BeginDrag(int channel, const QPoint& start);
    void DragTo(const QPoint& globalPos);
    // Ends a drag: by the button's release, or when the mouse was taken away from it. Every
    // row shows again in the new order.
    void EndDrag();
    // Puts the row picture under the pointer (list viewport coordinates), within the rows.
    void MoveDragImage(const QPoint& viewportPos);
    // Forgets a drag without refreshing (the song is being replaced).
    void DropDragState();
    void WatchGrab();

    std::unique_ptr<Ui::CQuellorView> ui_;
    CQuellorDoc& doc_;
    // Row images: muted, audible, muted vibra channel, audible vibra channel.
    std::array<QIcon, 4> images_;
    bool firstUpdateDone_ = false;
    // Set while the view changes its own controls, so their notifications are not edits.
    bool updating_ = false;
    // Drag state: the dragged channel (-1: no drag), whether the pointer was last outside the
    // list, the row picture under the pointer with its hot spot, and the row height.
    int draggedChannel_ = -1;
    bool pointerOutside_ = false;
    QLabel* dragImage_ = nullptr;
    QPoint hotSpot_;
    int rowHeight_ = 0;
    // The channel of a row pressed with the left button: a move may make it a drag.
    int pressedChannel_ = -1;
    QPoint pressPos_;
    // Ends a drag whose mouse grab was taken away.
    QTimer* grabWatch_ = nullptr;

    QTimer* progressTimer_ = nullptr;
    QLabel* timeLabel_ = nullptr;
    CDlgPolyphony* polyphony_ = nullptr;

    // Fields bound to the controls.
    QString instrumentText_;
    QString polyphonyText_;
    QString songNameText_;
    QString sourceMipText_;
    QString sequencePolyphonyText_;
    bool vibraCheck_ = false;
};
