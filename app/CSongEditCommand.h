#pragma once

#include "song/SongSnapshot.h"

#include <QUndoCommand>

class CQuellorDoc;

// One undoable edit of the document's song: the song's state before and after it. The edit
// itself has run when the step is recorded; redo and undo put one state or the other back.
class CSongEditCommand : public QUndoCommand {
public:
    CSongEditCommand(CQuellorDoc& doc, const QString& text, SongSnapshot before,
                     SongSnapshot after);

    void undo() override;
    void redo() override;

    // The edit changed events, so its states carry the tracks.
    bool ChangesEvents() const { return changesEvents_; }

private:
    CQuellorDoc& doc_;
    SongSnapshot before_;
    SongSnapshot after_;
    bool changesEvents_ = false;
    // The edit was made before the step was pushed: the first redo has nothing to do.
    bool done_ = true;
};
