#pragma once

#include <QDialog>

#include <array>
#include <cstdint>
#include <memory>

class QCheckBox;
class SongData;

namespace Ui {
class CDlgPolyphony;
}

// The "Polyphony Sequence" window (dialog 179): the polyphony graph of the song and one tick
// box per channel that enables or mutes it, as muting in the channel list does. Modeless;
// closing only hides it. It can be resized and maximised, never below the boxes' row over a
// 600 x 200 graph; the graph takes the room. A scroll bar under the graph moves through a
// zoomed song.
//
// The owner hands it the song with Refresh() whenever the song changed, and listens to
// channelsChanged() to update its own views after a box, "All" or "None" changed the
// channels' enabled flags here.
class CDlgPolyphony : public QDialog {
    Q_OBJECT

public:
    explicit CDlgPolyphony(QWidget* parent = nullptr);
    ~CDlgPolyphony() override;

    // Shows `song` (none: every box disabled, an empty graph): redraws the graph and sets
    // each box from its channel. The song must outlive its use here or be replaced first.
    void Refresh(SongData* song);

signals:
    // The enabled flags changed here and the MIP table and sequence polyphony were
    // recomputed. `hint` is the 1-based channel number after a box click and 0 after "All"
    // or "None", like the document's update hint.
    void channelsChanged(int hint);

private:
    void OnChannelClicked(int channel, bool ticked);
    void SetAllChannels(bool enabled);
    void ChannelsEdited(int hint);
    // The scroll bar follows the part of the song the graph shows.
    void UpdateScrollBar();

    std::unique_ptr<Ui::CDlgPolyphony> ui_;
    std::array<QCheckBox*, 16> boxes_{};
    SongData* song_ = nullptr;
    // Milliseconds per step of the scroll bar.
    std::int64_t scrollUnit_ = 1;
};
