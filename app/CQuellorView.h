#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>

class CQuellorDoc;
class QTreeWidgetItem;
class SongData;

namespace Ui {
class CQuellorView;
}

// The main form (101): the used channels of the song in priority order with their
// cumulative MIP values, the song-wide SP-MIDI facts, the current channel's panel with its
// priority and polyphony combos, the playback progress bar and the logo.
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
    void SelectCurrentChannelRow();
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
    void OnVibraClicked();

    std::unique_ptr<Ui::CQuellorView> ui_;
    CQuellorDoc& doc_;
    // Row images: muted, audible, muted vibra channel, audible vibra channel.
    std::array<QIcon, 4> images_;
    bool firstUpdateDone_ = false;
    // Set while the view changes its own controls, so their notifications are not edits.
    bool updating_ = false;
    int draggedChannel_ = -1;

    // Fields bound to the controls.
    QString instrumentText_;
    QString polyphonyText_;
    QString songNameText_;
    QString sourceMipText_;
    QString sequencePolyphonyText_;
    bool vibraCheck_ = false;
};
