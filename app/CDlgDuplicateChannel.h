#pragma once

#include <QDialog>
#include <QString>

#include <memory>
#include <vector>

namespace Ui {
class CDlgDuplicateChannel;
}

// The Duplicate Channel dialog (dialog 169): shows the channel being copied with its
// instrument and offers the free channels as destinations.
//
//     CDlgDuplicateChannel dialog(parent);
//     dialog.SetData(source, ChannelCommands::DuplicateCandidates(song),
//                    ChannelCommands::InstrumentText(song, source));
//     if (dialog.exec() == QDialog::Accepted && dialog.GetDestination() >= 0)
//         ... duplicate source onto GetDestination() ...
class CDlgDuplicateChannel : public QDialog {
    Q_OBJECT

public:
    explicit CDlgDuplicateChannel(QWidget* parent = nullptr);
    ~CDlgDuplicateChannel() override;

    // `source` and `destinations` are channel indexes 0-15; the destinations are offered in
    // the order given as channel numbers 1-16, the first one chosen. Indexes outside 0-15
    // are left out, and at most 16 are offered.
    void SetData(int source, const std::vector<int>& destinations, const QString& instrument);
    // The chosen destination channel index 0-15, or -1 when none was offered.
    int GetDestination() const { return destination_; }

private:
    void ReadControls();
    void WriteControls();
    void OnDestinationChanged(int item);

    std::unique_ptr<Ui::CDlgDuplicateChannel> ui_;
    std::vector<int> destinations_;
    int destination_ = -1;
    int source_ = 0;
    QString sourceLabel_;
    QString instrument_;
};
