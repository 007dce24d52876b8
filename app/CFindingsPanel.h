#pragma once

#include "song/SpMidiCheck.h"

#include <QDockWidget>

#include <vector>

class QListWidget;
class QListWidgetItem;

// The small panel below the channel view that lists the SP-MIDI checker's findings for the
// song as Save would write it, one row each: the severity, the message and, in its tool tip,
// the fix. Clicking a finding that names a channel asks for that channel's row.
class CFindingsPanel : public QDockWidget {
    Q_OBJECT

public:
    explicit CFindingsPanel(QWidget* parent = nullptr);

    void ShowFindings(const std::vector<SpMidiFinding>& findings);
    QListWidget* List() const { return list_; }

signals:
    // A finding of channel `channel` (0-15) was clicked.
    void channelChosen(int channel);

private:
    void OnItemClicked(QListWidgetItem* item);

    QListWidget* list_ = nullptr;
};
