#include "resources/StringTable.h"
#include "resources/resource.h"

#include <QHash>

namespace StringTable {

namespace {

const QHash<int, QString>& Table() {
    using namespace Res;
    static const QHash<int, QString> table{
        {IDR_MAINFRAME, QStringLiteral("Quellor\n\nMIDI\nMIDI Song Files (*.mid)\n.mid\n"
                                       "Quellor.Document\nQuellor.Document")},
        {AFX_IDS_APP_TITLE, QStringLiteral("Quellor")},
        {AFX_IDS_IDLEMESSAGE, QStringLiteral("For Help, press F1")},
        {ID_INDICATOR_MAP, QStringLiteral("Map: WW")},
        {IDS_MAP_PANE, QStringLiteral("Map: %1")},
        {ID_INDICATOR_VOICES, QStringLiteral("Voices: WW")},
        {IDS_VOICES_PANE, QStringLiteral("Voices: %1")},
        {IDS_VOICES_ALL, QStringLiteral("all")},
        {IDS_VOICES_LABEL, QStringLiteral("Voices")},
        {IDS_STEP_PRIORITY, QStringLiteral("Priority")},
        {IDS_STEP_POLYPHONY, QStringLiteral("Maximum Instantaneous Polyphony")},
        {IDS_STEP_MUTE, QStringLiteral("Mute Channel")},
        {IDS_STEP_SOLO, QStringLiteral("Solo Channel")},
        {IDS_STEP_REMOVE, QStringLiteral("Remove Channel")},
        {IDS_STEP_DUPLICATE, QStringLiteral("Duplicate Channel")},
        {IDS_STEP_VIBRA, QStringLiteral("Vibra Trigger")},
        {IDS_STEP_CHANNEL_BOXES, QStringLiteral("Polyphony Channels")},
        {IDS_STEP_DRAG, QStringLiteral("Move Channel")},
        {IDS_FILE_CHANGED,
         QStringLiteral("%1 has been changed by another program.\nDo you want to reload it?")},
        {IDS_FILE_CHANGED_MODIFIED,
         QStringLiteral("%1 has been changed by another program.\nDo you want to reload it and "
                        "lose your changes?")},
        {IDS_OPEN_FILTER, QStringLiteral("MIDI files (*.mid *.midi *.kar)")},
        {IDS_ALL_FILES_FILTER, QStringLiteral("All files (*)")},
        {ID_EDIT_UNDO, QStringLiteral("Undo the last edit\nUndo")},
        {ID_EDIT_REDO, QStringLiteral("Redo the edit last undone\nRedo")},
        {ID_FILE_CLOSE, QStringLiteral("Close the song\nClose")},
        {IDS_PHONE_NO_SOUND,
         QStringLiteral("The phone preview cannot play: no sound output is available.\n\n%1")},
        {IDS_PHONE_CANNOT_PLAY, QStringLiteral("The phone preview cannot play this song: %1")},
        {IDS_SOUND_INIT_FAILED,
         QStringLiteral(
             "Sound init failed\n\nQuellor will not be able to playback\nany MIDI songs")},
        {IDS_NO_DOCUMENT, QStringLiteral("No Document Loaded")},
        {IDS_SOURCE_CHANNEL, QStringLiteral("Source Channel %1 Instr.:")},
        {IDS_SELECT_SOURCE_FOLDER, QStringLiteral("Select the Source Folder")},
        {IDS_SELECT_DESTINATION_FOLDER, QStringLiteral("Select the Destination Folder")},
        {IDS_RESULT_PENDING, QStringLiteral("-")},
        {IDS_RESULT_OK, QStringLiteral("OK")},
        {IDS_RESULT_FAILED, QStringLiteral("Failed")},
        {IDS_ASK_TO_SAVE, QStringLiteral("Save changes to %1?")},
        {IDS_CANNOT_OPEN, QStringLiteral("Cannot open the file\n%1\n\n%2")},
        {IDS_NOT_SMF, QStringLiteral("The file\n%1\nis not a Standard MIDI File.")},
        {IDS_LEFT_OUT,
         QStringLiteral("Not everything in\n%1\ncould be read. Left out: %2.\n\nSaving the song "
                        "will not bring the missing data back.")},
        {IDS_LEFT_OUT_TOO_LARGE_ONE, QStringLiteral("1 event too large to store")},
        {IDS_LEFT_OUT_TOO_LARGE, QStringLiteral("%1 events too large to store")},
        {IDS_LEFT_OUT_SYSEX_ONE, QStringLiteral("1 unterminated SysEx message")},
        {IDS_LEFT_OUT_SYSEX, QStringLiteral("%1 unterminated SysEx messages")},
        {IDS_LEFT_OUT_READ_ERROR, QStringLiteral("the rest of the file, which could not be read")},
        {IDS_LEFT_OUT_CUT, QStringLiteral("the end of the file, which is cut off inside an event")},
        {IDS_LEFT_OUT_TRACKS, QStringLiteral("tracks after the %1th")},
        {IDS_LEFT_OUT_TIMES,
         QStringLiteral("the times of %1 events beyond 49 days, cut to 49 days")},
        {IDS_OUT_OF_MEMORY,
         QStringLiteral("There is not enough memory to load\n%1\n\nThe song was not opened.")},
        {IDS_CANNOT_SAVE, QStringLiteral("Cannot save the file\n%1\n\n%2")},
        {IDS_IR_COPY_FAILED,
         QStringLiteral("Cannot write the copy to send\n%1\n\n%2\n\nNothing was sent.")},
        {IDS_IR_START_FAILED, QStringLiteral("Cannot start the transfer program\n%1")},
        {IDS_ASK_REMOVE,
         QStringLiteral("Do you really want to remove\nchannel #%1 (Instrument: %2)?")},
        {IDS_ONE_DUPLICATE, QStringLiteral("Only one channel may be duplicated at a time.")},
        {IDS_NO_CHANNEL_LEFT, QStringLiteral("No channel left.")},
        {IDS_BATCH_LEFT_OUT,
         QStringLiteral("Not everything in\n%1\ncould be read. Left out: %2.\n\nThe processed "
                        "file would lack it, so none was written.")},
        {IDS_BATCH_OUTPUT_TAKEN,
         QStringLiteral("Another file of this run was already written to\n%1")},
        {IDS_BATCH_OUTPUT_IS_SOURCE,
         QStringLiteral("The output\n%1\nwould replace another source file.")},
        {IDS_BATCH_FAILED, QStringLiteral("Cannot process the file\n%1\n\n%2")},
        {IDS_ASK_CREATE_FOLDER,
         QStringLiteral("The destination folder\n%1\ndoes not exist. Create it?")},
        {IDS_CANNOT_USE_FOLDER, QStringLiteral("Cannot use the destination folder\n%1\n\n%2")},
        // A row's result with its reason: "Failed: not a Standard MIDI File".
        {IDS_RESULT_WHY, QStringLiteral("%1: %2")},
        {IDS_RESULT_SKIPPED, QStringLiteral("Skipped")},
        {IDS_WHY_CANNOT_OPEN, QStringLiteral("cannot open: %1")},
        {IDS_WHY_NOT_SMF, QStringLiteral("not a Standard MIDI File")},
        {IDS_WHY_LEFT_OUT, QStringLiteral("data left out on loading: %1")},
        {IDS_WHY_CANNOT_WRITE, QStringLiteral("cannot write: %1")},
        {IDS_WHY_OUTPUT_TAKEN,
         QStringLiteral("another file of this run was already written to %1")},
        {IDS_WHY_OUTPUT_IS_SOURCE,
         QStringLiteral("the output %1 would replace another source file")},
        {IDS_BATCH_SUMMARY, QStringLiteral("%1 processed, %2 failed, %3 skipped")},
        {IDS_BATCH_STOPPED, QStringLiteral("Stopped after %1 of %2")},
        {IDS_COUNT_ERROR_ONE, QStringLiteral("1 error")},
        {IDS_COUNT_ERRORS, QStringLiteral("%1 errors")},
        {IDS_COUNT_WARNING_ONE, QStringLiteral("1 warning")},
        {IDS_COUNT_WARNINGS, QStringLiteral("%1 warnings")},
        {IDS_COUNTS, QStringLiteral("%1, %2")},
        {IDS_RESULT_OK_FINDINGS, QStringLiteral("OK, %1")},
        {IDS_FINDINGS_TITLE, QStringLiteral("SP-MIDI Check")},
        {IDS_SAVE_WITH_ERRORS,
         QStringLiteral("What Save writes has %1 that phones will misplay:\n\n%2\n\nSave "
                        "anyway?")},
        {IDS_SAVE_ANYWAY, QStringLiteral("Save anyway")},
        {IDS_FINDINGS_PANE, QStringLiteral("Check: %1")},
        {IDS_SEVERITY_ERROR, QStringLiteral("Error")},
        {IDS_SEVERITY_WARNING, QStringLiteral("Warning")},
        {IDS_SEVERITY_NOTE, QStringLiteral("Note")},
        {IDS_FINDING_ROW, QStringLiteral("%1: %2")},
        {IDS_ABOUT_VERSION, QStringLiteral("Quellor Version %1.%2")},
        {IDS_ABOUT_TEXT,
         QStringLiteral("Prepares Standard MIDI Files for Scalable Polyphony MIDI phones.")},

        // Tool tips.
        {IDS_TIP_NAME_KEY, QStringLiteral("%1 (%2)")},
        {IDS_TIP_OPEN, QStringLiteral("Opens a Standard MIDI File and lists its channels in "
                                      "priority order.")},
        {IDS_TIP_RELOAD, QStringLiteral("Reads the open file again from disk; the changes made "
                                        "since it was opened or saved are dropped.")},
        {IDS_TIP_SAVE, QStringLiteral("Writes the song with an up-to-date MIP message; muted "
                                      "channels are left out.")},
        {IDS_TIP_PLAY, QStringLiteral("Plays the song with its current mutes, on the "
                                      "synthesizer or the phone chosen under Voices.")},
        {IDS_TIP_PLAY_SOLO, QStringLiteral("Plays the selected channel alone.")},
        {IDS_TIP_STOP, QStringLiteral("Ends Play or Play Solo.")},
        {IDS_TIP_SEND_IR, QStringLiteral("Hands a copy of the song, as Save would write it, to "
                                         "%1, which sends it to a phone.")},
        {IDS_TIP_HELP, QStringLiteral("Shows how to open, edit, save, play and send a song, and "
                                      "what the options do.")},
        {IDS_TIP_VOICES,
         QStringLiteral("What Play and Play Solo sound like: the full synthesizer, or a phone "
                        "with 5 to 64 voices playing the song as Save would write it.")},
        {IDS_TIP_DEFAULT_DEVICE, QStringLiteral("Plays on the built-in General MIDI synthesizer "
                                                "through the default sound output.")},
        {IDS_TIP_OUTPUT_PORT, QStringLiteral("Plays on the MIDI output port %1.")},
        {IDS_TIP_MAP_SPMIDI,
         QStringLiteral("Names the instruments, and writes the program changes, of the reduced "
                        "instrument set that SP-MIDI phones carry.")},
        {IDS_TIP_MAP_GM, QStringLiteral("Names the instruments of the full General MIDI set and "
                                        "writes the program changes unchanged.")},
        {IDS_TIP_VIBRA_DP1,
         QStringLiteral("The vibra channel is set up with Bank Select 121/6 and Program Change "
                        "125, the value the first Series 40 phones (Developer Platform 1) "
                        "answer to through a firmware fault. Later phones do not vibrate with "
                        "it.")},
        {IDS_TIP_VIBRA_DP2,
         QStringLiteral("The vibra channel is set up with Bank Select 121/6 and Program Change "
                        "124, the value Series 40 phones from Developer Platform 2 on answer "
                        "to. Developer Platform 1 phones do not vibrate with it.")},
        {IDS_TIP_STRIP_TEXT,
         QStringLiteral("Save leaves out the meta events other than Set Tempo (texts, lyrics, "
                        "markers, track names), which phones do not need.")},
        {IDS_TIP_STRIP_SYSEX,
         QStringLiteral("Opening a file drops its System Exclusive messages, except the MIP "
                        "message.")},
        {IDS_TIP_STRIP_CONTROLS,
         QStringLiteral("Kept with the settings only: no step of opening or saving removes "
                        "controllers yet.")},
        {IDS_TIP_PRIO_CHANNEL,
         QStringLiteral("A song opened without a usable MIP message gets its priorities in "
                        "channel order, the lowest used channel first. Applies from the next "
                        "open or reload.")},
        {IDS_TIP_PRIO_OBLIX,
         QStringLiteral("A song opened without a usable MIP message gets its priorities from a "
                        "weighting: each channel scores by its instrument (pianos, chromatic "
                        "percussion, organs and synth leads most, guitars and basses less, "
                        "ensembles, pads and effects least), by its notes per voice and by its "
                        "loudness. The best channel comes first, the percussion channel "
                        "second, the others by score. Applies from the next open or reload.")},
        {IDS_IR_NEEDS_SONG,
         QStringLiteral("Send via IR is off until a song is open: it sends the song, as Save "
                        "would write it, through %1.")},
        {IDS_IR_NEEDS_PROGRAM,
         QStringLiteral("Send via IR is off: it needs a Bluetooth file sender on the PATH when "
                        "Quellor starts, bluetooth-sendto (package gnome-bluetooth-sendto) or "
                        "blueman-sendto (package blueman).")},
        {IDS_TIP_MIDI_OUTPUT_MENU,
         QStringLiteral("Where Play sounds on the full synthesizer: the built-in synthesizer "
                        "or a MIDI output port.")},
        {IDS_TIP_MAPPING_MENU,
         QStringLiteral("Which instrument set names the channels and is written on Save.")},
        {IDS_TIP_VIBRA_MENU,
         QStringLiteral("The program change that sets up the vibra channel; phone series "
                        "answer to different ones. Opening a song that sets up a vibra channel "
                        "chooses the one it uses.")},
        {IDS_TIP_STRIPPING_MENU, QStringLiteral("What opening and saving leave out.")},
        {IDS_TIP_PROPOSAL_MENU, QStringLiteral("How a song without a usable MIP message gets its "
                                               "channel priorities.")},
        {IDS_TIP_VOICES_MENU, QStringLiteral("What Play and Play Solo sound like.")},
        {IDS_TIP_GRAPH, QStringLiteral("Wheel or Ctrl+wheel: zoom in or out at the pointer. "
                                       "Shift+wheel or the scroll bar: scroll. Home: the whole "
                                       "song.")},

        // Command prompts: status-bar text, then the short name.
        {ID_FILE_NEW, QStringLiteral("Create a new document\nNew")},
        {ID_FILE_OPEN, QStringLiteral("Open an existing document\nOpen")},
        {ID_FILE_SAVE, QStringLiteral("Save the active document\nSave")},
        {ID_FILE_SAVE_AS, QStringLiteral("Save the active document with a new name\nSave As")},
        {ID_FILE_MRU_FILE1, QStringLiteral("Open this document")},
        {ID_FILE_MRU_FILE1 + 1, QStringLiteral("Open this document")},
        {ID_FILE_MRU_FILE1 + 2, QStringLiteral("Open this document")},
        {ID_FILE_MRU_FILE1 + 3, QStringLiteral("Open this document")},
        {ID_APP_ABOUT,
         QStringLiteral("Display program information, version number and copyright\nAbout")},
        {ID_APP_EXIT, QStringLiteral("Quit the application; prompts to save documents\nExit")},
        {ID_HELP_FINDER, QStringLiteral("List Help topics\nHelp Topics")},
        {ID_CONTEXT_HELP,
         QStringLiteral("Display help for clicked buttons, menus and windows\nHelp")},
        {ID_HELP, QStringLiteral("Display help for current task or command\nHelp")},
        {ID_DEFAULT_HELP, QStringLiteral("Display default help\nHelp")},
        {ID_VIEW_TOOLBAR, QStringLiteral("Show or hide the toolbar\nToggle ToolBar")},
        {ID_VIEW_STATUS_BAR, QStringLiteral("Show or hide the status bar\nToggle StatusBar")},
        {ID_CHANNEL_REMOVE, QStringLiteral("Delete the current channel\nRemove Channel")},
        {ID_CHANNEL_DUPLICATE,
         QStringLiteral("Copy the sequence of the current channel to another channel\n"
                        "Duplicate Channel")},
        {ID_CHANNEL_SOLO, QStringLiteral("Mute all but the current channel\nSolo Channel")},
        {ID_CHANNEL_MUTE, QStringLiteral("Mute the current channel\nMute Channel")},
        {ID_MAP_SPMIDI, QStringLiteral("Use the reduced SP-MIDI Instrument Map\nSP-MIDI")},
        {ID_MAP_GM, QStringLiteral("Use the full GM Instrument Map\nGM")},
        {ID_FILE_BATCH, QStringLiteral("Process multiple files in one go\nBatch...")},
        {ID_STRIP_TEXT, QStringLiteral("Remove all text-events from the MIDI file to reduce its "
                                       "size.\nRemove Text Events")},
        {ID_STRIP_SYSEX, QStringLiteral("Remove sysex-events (not MIP) from the MIDI file to "
                                        "reduce its size.\nRemove SysEx Data")},
        {ID_STRIP_CONTROLS, QStringLiteral("Remove all useless controls from the MIDI file to "
                                           "reduce its size.\nRemove useless Controls")},
        {ID_VIEW_POLYPHONY, QStringLiteral("Display polyphony sequence graph\nPolyphony")},
        {ID_FILE_RELOAD,
         QStringLiteral("Load currently opened file to reflect latest changes\nReload")},
        {ID_PRIO_CHANNEL, QStringLiteral("Propose Priority based on channel number")},
        {ID_PRIO_OBLIX, QStringLiteral("Waging System Priority Proposal")},
        {ID_VIBRA_DP1, QStringLiteral("Use the old program change for vibra messages.")},
        {ID_VIBRA_DP2, QStringLiteral("Use the new program change for vibra messages.")},
        {ID_PLAY, QStringLiteral("Play loaded Song\nPlay")},
        {ID_PLAY_SOLO, QStringLiteral("Play the selected channel\nPlay Solo")},
        {ID_STOP, QStringLiteral("Stop the playback\nStop")},
        {ID_SEND_IR, QStringLiteral("Send via IRDA interface\nSend via IR")},
        {ID_VOICES_FULL,
         QStringLiteral("Play on the full synthesizer, every audible channel\nFull Synthesizer")},
        {ID_VOICES_FULL + 1,
         QStringLiteral("Play as a phone with 5 voices plays the saved song\n5 Voices")},
        {ID_VOICES_FULL + 2,
         QStringLiteral("Play as a phone with 8 voices plays the saved song\n8 Voices")},
        {ID_VOICES_FULL + 3,
         QStringLiteral("Play as a phone with 12 voices plays the saved song\n12 Voices")},
        {ID_VOICES_FULL + 4,
         QStringLiteral("Play as a phone with 16 voices plays the saved song\n16 Voices")},
        {ID_VOICES_FULL + 5,
         QStringLiteral("Play as a phone with 24 voices plays the saved song\n24 Voices")},
        {ID_VOICES_FULL + 6,
         QStringLiteral("Play as a phone with 32 voices plays the saved song\n32 Voices")},
        {ID_VOICES_LAST,
         QStringLiteral("Play as a phone with 64 voices plays the saved song\n64 Voices")},
    };
    return table;
}

} // namespace

QString Get(int id) {
    return Table().value(id);
}

QString Prompt(int id) {
    return Get(id).section(QLatin1Char('\n'), 0, 0);
}

QString ShortName(int id) {
    return Get(id).section(QLatin1Char('\n'), -1);
}

} // namespace StringTable
