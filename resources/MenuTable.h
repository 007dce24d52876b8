#pragma once

#include <vector>

// The menus, the toolbar and the accelerators of the main window as data; the frame builds
// its actions and menus from these tables once.
namespace MenuTable {

struct MenuEntry {
    enum class Kind { Command, Separator, Popup, RecentFiles };
    Kind kind = Kind::Command;
    int id = 0;                   // command id (Command)
    const char* text = "";        // caption; "\t" separates the shortcut shown beside it
    std::vector<MenuEntry> items; // Popup only
};

// How a command shows its state in menus.
enum class Mark { None, Check, Radio };

struct Accelerator {
    const char* keys; // in QKeySequence's portable form
    int id;
};

// Menu 128: the main window's menu bar.
const std::vector<MenuEntry>& MainMenu();
// Menu 162: the channel list's context menu (one pop-up).
const std::vector<MenuEntry>& ChannelPopup();
// Toolbar 128: the button commands in order; 0 stands for a gap.
const std::vector<int>& ToolbarButtons();
// Accelerators 128; a command may have several keys, the first is the one its menu shows.
const std::vector<Accelerator>& Accelerators();
// The mark a command carries; radio commands come in groups, see RadioGroup.
Mark MarkOf(int id);
// The first and last id of the radio group `id` belongs to; {id, id} for other commands.
std::pair<int, int> RadioGroup(int id);

// Positions of the submenus within "&Options", the fourth top-level menu (after "&File",
// "&Edit" and "&View").
inline constexpr int kOptionsMenuPosition = 3;
inline constexpr int kMidiOutputPosition = 0;
inline constexpr int kInstrumentMappingPosition = 2;
inline constexpr int kVibraTriggerPosition = 4;
inline constexpr int kEventStrippingPosition = 6;
inline constexpr int kPriorityProposalPosition = 7;
inline constexpr int kPlaybackVoicesPosition = 9;

// The voices of commands ID_VOICES_FULL ... ID_VOICES_LAST; 0 is the full synthesizer.
inline constexpr int kPlaybackVoices[] = {0, 5, 8, 12, 16, 24, 32, 64};

} // namespace MenuTable
