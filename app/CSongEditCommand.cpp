#include "app/CSongEditCommand.h"

#include "app/CQuellorDoc.h"

#include <utility>

CSongEditCommand::CSongEditCommand(CQuellorDoc& doc, const QString& text, SongSnapshot before,
                                   SongSnapshot after)
    : QUndoCommand(text), doc_(doc), before_(std::move(before)), after_(std::move(after)) {
    changesEvents_ = before_.Tracks() != after_.Tracks();
}

void CSongEditCommand::undo() {
    doc_.RestoreSnapshot(before_, changesEvents_);
}

void CSongEditCommand::redo() {
    if (done_) {
        done_ = false;
        return;
    }
    doc_.RestoreSnapshot(after_, changesEvents_);
}
