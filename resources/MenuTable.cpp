#include "resources/MenuTable.h"
#include "resources/resource.h"

#include <utility>

namespace MenuTable {

namespace {

using Kind = MenuEntry::Kind;

MenuEntry Cmd(int id, const char* text) {
    return {Kind::Command, id, text, {}};
}
MenuEntry Sep() {
    return {Kind::Separator, 0, "", {}};
}
MenuEntry Popup(const char* text, std::vector<MenuEntry> items) {
    return {Kind::Popup, 0, text, std::move(items)};
}

} // namespace

const std::vector<MenuEntry>& MainMenu() {
    using namespace Res;
    static const std::vector<MenuEntry> menu{
        Popup("&File",
              {
                  Cmd(ID_FILE_OPEN, "&Open...\tCtrl+O"),
                  Cmd(ID_FILE_SAVE, "&Save\tCtrl+S"),
                  Cmd(ID_FILE_SAVE_AS, "Save &As...\tCtrl+Shift+S"),
                  Cmd(ID_FILE_RELOAD, "&Reload\tF5"),
                  Cmd(ID_FILE_CLOSE, "&Close\tCtrl+W"),
                  Sep(),
                  Cmd(ID_FILE_BATCH, "&Batch...\tCtrl+B"),
                  Sep(),
                  {Kind::RecentFiles, ID_FILE_MRU_FILE1, "Recent File", {}},
                  Sep(),
                  Cmd(ID_APP_EXIT, "E&xit\tCtrl+Q"),
              }),
        Popup("&Edit",
              {
                  Cmd(ID_EDIT_UNDO, "&Undo\tCtrl+Z"),
                  Cmd(ID_EDIT_REDO, "&Redo\tCtrl+Shift+Z"),
              }),
        Popup("&View",
              {
                  Cmd(ID_VIEW_TOOLBAR, "&Toolbar"),
                  Cmd(ID_VIEW_STATUS_BAR, "&Status Bar"),
                  Sep(),
                  Cmd(ID_VIEW_POLYPHONY, "&Polyphony\tF3"),
              }),
        Popup("&Options",
              {
                  Popup("MIDI &Output", {Cmd(ID_MIDI_OUTPUT_FIRST, "&Default Device")}),
                  Sep(),
                  Popup("&Instrument Mapping",
                        {Cmd(ID_MAP_SPMIDI, "&SP-MIDI"), Cmd(ID_MAP_GM, "&GM")}),
                  Sep(),
                  Popup("&Vibra Trigger", {Cmd(ID_VIBRA_DP1, "Nokia &Bug (Series 40 DP1)"),
                                           Cmd(ID_VIBRA_DP2, "&Proper (Series 40 DP2)")}),
                  Sep(),
                  Popup("&Event Stripping", {Cmd(ID_STRIP_TEXT, "Remove &Text Events"),
                                             Cmd(ID_STRIP_SYSEX, "Remove &SysEx Data"),
                                             Cmd(ID_STRIP_CONTROLS, "Remove useless &Controls")}),
                  Popup("&Priority Proposal", {Cmd(ID_PRIO_CHANNEL, "Based on &Channel Number"),
                                               Cmd(ID_PRIO_OBLIX, "Priority &OBLIX")}),
                  Sep(),
                  Popup("P&layback Voices", {Cmd(ID_VOICES_FULL, "&Full Synthesizer"),
                                             Cmd(ID_VOICES_FULL + 1, "Phone, &5 Voices"),
                                             Cmd(ID_VOICES_FULL + 2, "Phone, &8 Voices"),
                                             Cmd(ID_VOICES_FULL + 3, "Phone, &12 Voices"),
                                             Cmd(ID_VOICES_FULL + 4, "Phone, 1&6 Voices"),
                                             Cmd(ID_VOICES_FULL + 5, "Phone, &24 Voices"),
                                             Cmd(ID_VOICES_FULL + 6, "Phone, &32 Voices"),
                                             Cmd(ID_VOICES_LAST, "Phone, 6&4 Voices")}),
              }),
        Popup("&Help",
              {
                  Cmd(ID_HELP_FINDER, "&Help Topics"),
                  Sep(),
                  Cmd(ID_APP_ABOUT, "&About Quellor..."),
              }),
    };
    return menu;
}

const std::vector<MenuEntry>& ChannelPopup() {
    using namespace Res;
    static const std::vector<MenuEntry> menu{
        Popup("Channel",
              {
                  Cmd(ID_CHANNEL_MUTE, "Mute Channel"),
                  Cmd(ID_CHANNEL_SOLO, "Solo Channel"),
                  Sep(),
                  Cmd(ID_CHANNEL_DUPLICATE, "Duplicate Channel..."),
                  Sep(),
                  Cmd(ID_CHANNEL_REMOVE, "Remove Channel...\tDel"),
              }),
    };
    return menu;
}

const std::vector<int>& ToolbarButtons() {
    using namespace Res;
    static const std::vector<int> buttons{ID_FILE_OPEN,   ID_FILE_RELOAD,
                                          ID_FILE_SAVE,   0,
                                          ID_PLAY,        ID_PLAY_SOLO,
                                          ID_STOP,        0,
                                          ID_SEND_IR,     0,
                                          ID_DEFAULT_HELP};
    return buttons;
}

const std::vector<Accelerator>& Accelerators() {
    using namespace Res;
    static const std::vector<Accelerator> keys{
        {"Ctrl+N", ID_FILE_NEW},
        {"Ctrl+O", ID_FILE_OPEN},
        {"Ctrl+S", ID_FILE_SAVE},
        {"F5", ID_FILE_RELOAD},
        {"F3", ID_VIEW_POLYPHONY},
        {"Ctrl+F5", ID_SEND_IR},
        {"Del", ID_CHANNEL_REMOVE},
        {"Backspace", ID_STOP},
        {"Space", ID_PLAY},
        {"Ctrl+Space", ID_PLAY_SOLO},
        {"F1", ID_HELP},
        {"Shift+F1", ID_CONTEXT_HELP},
        {"Ctrl+B", ID_FILE_BATCH},
        {"Ctrl+Z", ID_EDIT_UNDO},
        {"Ctrl+Shift+Z", ID_EDIT_REDO},
        {"Ctrl+Y", ID_EDIT_REDO},
        {"Ctrl+Q", ID_APP_EXIT},
        {"Ctrl+W", ID_FILE_CLOSE},
        {"Ctrl+Shift+S", ID_FILE_SAVE_AS},
    };
    return keys;
}

Mark MarkOf(int id) {
    using namespace Res;
    switch (id) {
    case ID_STRIP_TEXT:
    case ID_STRIP_SYSEX:
    case ID_STRIP_CONTROLS:
    case ID_VIEW_TOOLBAR:
    case ID_VIEW_STATUS_BAR:
    case ID_CHANNEL_MUTE:
    case ID_CHANNEL_SOLO:
        return Mark::Check;
    default:
        return RadioGroup(id).first != RadioGroup(id).second ? Mark::Radio : Mark::None;
    }
}

std::pair<int, int> RadioGroup(int id) {
    using namespace Res;
    if (id >= ID_MIDI_OUTPUT_FIRST && id <= ID_MIDI_OUTPUT_LAST)
        return {ID_MIDI_OUTPUT_FIRST, ID_MIDI_OUTPUT_LAST};
    for (const auto& group :
         {std::pair{ID_MAP_SPMIDI, ID_MAP_GM}, std::pair{ID_VIBRA_DP1, ID_VIBRA_DP2},
          std::pair{ID_PRIO_CHANNEL, ID_PRIO_OBLIX}, std::pair{ID_VOICES_FULL, ID_VOICES_LAST}})
        if (id >= group.first && id <= group.second)
            return group;
    return {id, id};
}

} // namespace MenuTable
