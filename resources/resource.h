#pragma once

// Resource ids of the desktop program: commands, controls, strings, menus, pictures and
// icons. Commands keep the numbers of the framework's standard commands where one exists.
namespace Res {

// --- Menus, document type, toolbar, accelerators, application icon ---
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDR_CHANNEL_POPUP = 162;

// --- Forms ---
inline constexpr int IDD_QUELLOR_FORM = 101;

// --- Commands ---
inline constexpr int ID_CHANNEL_REMOVE = 164;
inline constexpr int ID_CHANNEL_DUPLICATE = 165;
inline constexpr int ID_CHANNEL_SOLO = 166;
inline constexpr int ID_CHANNEL_MUTE = 167;
inline constexpr int ID_MAP_SPMIDI = 175;
inline constexpr int ID_MAP_GM = 176;
inline constexpr int ID_FILE_BATCH = 177;
inline constexpr int ID_STRIP_TEXT = 271;
inline constexpr int ID_STRIP_SYSEX = 272;
inline constexpr int ID_STRIP_CONTROLS = 273;
inline constexpr int ID_VIEW_POLYPHONY = 275;
inline constexpr int ID_FILE_RELOAD = 276;
inline constexpr int ID_PRIO_CHANNEL = 345;
inline constexpr int ID_PRIO_OBLIX = 346;
inline constexpr int ID_VIBRA_DP1 = 1090;
inline constexpr int ID_VIBRA_DP2 = 1091;
inline constexpr int ID_PLAY = 32771;
inline constexpr int ID_PLAY_SOLO = 32772;
inline constexpr int ID_STOP = 32773;
inline constexpr int ID_SEND_IR = 32774;
// What Play and Play Solo sound like: the full synthesizer, then a phone with 5, 8, 12, 16,
// 24, 32 or 64 voices (MenuTable::kPlaybackVoices, in this order).
inline constexpr int ID_VOICES_FULL = 33000;
inline constexpr int ID_VOICES_LAST = 33007;
// "Default Device" and the output ports after it: 32800 + device index.
inline constexpr int ID_MIDI_OUTPUT_FIRST = 32800;
inline constexpr int ID_MIDI_OUTPUT_LAST = 32928;

inline constexpr int ID_FILE_NEW = 57600;
inline constexpr int ID_FILE_CLOSE = 57602;
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_SAVE = 57603;
inline constexpr int ID_FILE_SAVE_AS = 57604;
inline constexpr int ID_FILE_MRU_FILE1 = 57616; // ... ID_FILE_MRU_FILE1 + 3
inline constexpr int kRecentFileCount = 4;
inline constexpr int ID_EDIT_UNDO = 57643;
inline constexpr int ID_EDIT_REDO = 57644;
inline constexpr int ID_APP_ABOUT = 57664;
inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_HELP_FINDER = 57667;
inline constexpr int ID_CONTEXT_HELP = 57669;
inline constexpr int ID_HELP = 57670;
inline constexpr int ID_DEFAULT_HELP = 57671;
inline constexpr int ID_VIEW_TOOLBAR = 59392;
inline constexpr int ID_VIEW_STATUS_BAR = 59393;

// --- Status bar panes ---
inline constexpr int ID_INDICATOR_MAP = 59000;
inline constexpr int ID_INDICATOR_VOICES = 59001;

// --- Controls of the main form ---
inline constexpr int IDC_CHANNEL_LIST = 1000;
inline constexpr int IDC_INSTRUMENT = 1001;
inline constexpr int IDC_POLYPHONY = 1002;
inline constexpr int IDC_PRIORITY_COMBO = 1003;
inline constexpr int IDC_MIP_COMBO = 1004;
inline constexpr int IDC_SONG_NAME = 1005;
inline constexpr int IDC_SOURCE_MIP = 1006;
inline constexpr int IDC_SEQUENCE_POLYPHONY = 1007;
inline constexpr int IDC_INSTRUMENT_LABEL = 1012;
inline constexpr int IDC_POLYPHONY_LABEL = 1013;
inline constexpr int IDC_PRIORITY_LABEL = 1014;
inline constexpr int IDC_MIP_LABEL = 1015;
inline constexpr int IDC_SPMIDI_GROUP = 1016;
inline constexpr int IDC_SONG_NAME_LABEL = 1017;
inline constexpr int IDC_SOURCE_MIP_LABEL = 1018;
inline constexpr int IDC_LOGO = 1020;
inline constexpr int IDC_VIBRA_CHECK = 1021;
inline constexpr int IDC_SEQUENCE_POLYPHONY_LABEL = 1055;
inline constexpr int IDC_PROGRESS = 1070;
// The toolbar's "Voices" drop-down.
inline constexpr int IDC_VOICES_COMBO = 1080;

// --- Pictures and icons ---
inline constexpr int IDI_CHANNEL_AUDIBLE = 145;
inline constexpr int IDI_CHANNEL_MUTED = 146;
inline constexpr int IDI_VIBRA_AUDIBLE = 147;
inline constexpr int IDI_VIBRA_MUTED = 148;
inline constexpr int IDB_LOGO_MASK = 330;
inline constexpr int IDB_LOGO = 331;
inline constexpr int IDB_TOOLBAR_NORMAL = 332;
inline constexpr int IDB_TOOLBAR_DISABLED = 333;
inline constexpr int IDB_TOOLBAR_HOT = 335;

// --- Strings (besides the command prompts, which use their command's id) ---
inline constexpr int IDS_SOURCE_CHANNEL = 131;
inline constexpr int IDS_SELECT_SOURCE_FOLDER = 132;
inline constexpr int IDS_SELECT_DESTINATION_FOLDER = 133;
inline constexpr int IDS_RESULT_PENDING = 180;
inline constexpr int IDS_RESULT_OK = 181;
inline constexpr int IDS_RESULT_FAILED = 182;
inline constexpr int IDS_SOUND_INIT_FAILED = 341;
inline constexpr int AFX_IDS_APP_TITLE = 57344;
inline constexpr int AFX_IDS_IDLEMESSAGE = 57345;
inline constexpr int IDS_NO_DOCUMENT = 400;
inline constexpr int IDS_MAP_PANE = 401;
inline constexpr int IDS_ASK_TO_SAVE = 402;
inline constexpr int IDS_CANNOT_OPEN = 403;
inline constexpr int IDS_NOT_SMF = 404;
inline constexpr int IDS_LEFT_OUT = 405;
inline constexpr int IDS_CANNOT_SAVE = 406;
inline constexpr int IDS_IR_COPY_FAILED = 407;
inline constexpr int IDS_IR_START_FAILED = 408;
inline constexpr int IDS_ABOUT_VERSION = 409;
inline constexpr int IDS_ABOUT_TEXT = 410;
inline constexpr int IDS_ASK_REMOVE = 411;
inline constexpr int IDS_ONE_DUPLICATE = 412;
inline constexpr int IDS_NO_CHANNEL_LEFT = 413;
inline constexpr int IDS_BATCH_LEFT_OUT = 414;
inline constexpr int IDS_BATCH_OUTPUT_TAKEN = 415;
inline constexpr int IDS_BATCH_OUTPUT_IS_SOURCE = 416;
inline constexpr int IDS_BATCH_FAILED = 417;
// The phone preview (470-479).
inline constexpr int IDS_VOICES_PANE = 480;
inline constexpr int IDS_VOICES_ALL = 481;
inline constexpr int IDS_PHONE_NO_SOUND = 482;
inline constexpr int IDS_PHONE_CANNOT_PLAY = 483;
inline constexpr int IDS_VOICES_LABEL = 484;
// What loading left out, one text per kind (%1: how many).
inline constexpr int IDS_LEFT_OUT_TOO_LARGE_ONE = 430;
inline constexpr int IDS_LEFT_OUT_TOO_LARGE = 431;
inline constexpr int IDS_LEFT_OUT_SYSEX_ONE = 432;
inline constexpr int IDS_LEFT_OUT_SYSEX = 433;
inline constexpr int IDS_LEFT_OUT_READ_ERROR = 434;
inline constexpr int IDS_LEFT_OUT_CUT = 435;
inline constexpr int IDS_LEFT_OUT_TRACKS = 436;
// The SP-MIDI check, 460-479 (%1: how many; IDS_COUNTS: the errors, then the warnings).
inline constexpr int IDS_COUNT_ERROR_ONE = 460;
inline constexpr int IDS_COUNT_ERRORS = 461;
inline constexpr int IDS_COUNT_WARNING_ONE = 462;
inline constexpr int IDS_COUNT_WARNINGS = 463;
inline constexpr int IDS_COUNTS = 464;
inline constexpr int IDS_RESULT_OK_FINDINGS = 465;
inline constexpr int IDS_FINDINGS_TITLE = 466;
inline constexpr int IDS_SAVE_WITH_ERRORS = 467;
inline constexpr int IDS_SAVE_ANYWAY = 468;
inline constexpr int IDS_FINDINGS_PANE = 469;
inline constexpr int IDS_SEVERITY_ERROR = 470;
inline constexpr int IDS_SEVERITY_WARNING = 471;
inline constexpr int IDS_SEVERITY_NOTE = 472;
inline constexpr int IDS_FINDING_ROW = 473;
inline constexpr int IDS_LEFT_OUT_TIMES = 437;
// Resources the machine ran out of (450-459).
inline constexpr int IDS_OUT_OF_MEMORY = 450;
// The Batch Processor's questions (485-489), its rows' reasons and its summary (490-499).
inline constexpr int IDS_ASK_CREATE_FOLDER = 485;
inline constexpr int IDS_CANNOT_USE_FOLDER = 486;
inline constexpr int IDS_RESULT_WHY = 490;
inline constexpr int IDS_RESULT_SKIPPED = 491;
inline constexpr int IDS_WHY_CANNOT_OPEN = 492;
inline constexpr int IDS_WHY_NOT_SMF = 493;
inline constexpr int IDS_WHY_LEFT_OUT = 494;
inline constexpr int IDS_WHY_CANNOT_WRITE = 495;
inline constexpr int IDS_WHY_OUTPUT_TAKEN = 496;
inline constexpr int IDS_WHY_OUTPUT_IS_SOURCE = 497;
inline constexpr int IDS_BATCH_SUMMARY = 498;
inline constexpr int IDS_BATCH_STOPPED = 499;
// Tool tips (530-569): a command's name with its key, then what it does.
inline constexpr int IDS_TIP_NAME_KEY = 530;
inline constexpr int IDS_TIP_OPEN = 531;
inline constexpr int IDS_TIP_RELOAD = 532;
inline constexpr int IDS_TIP_SAVE = 533;
inline constexpr int IDS_TIP_PLAY = 534;
inline constexpr int IDS_TIP_PLAY_SOLO = 535;
inline constexpr int IDS_TIP_STOP = 536;
inline constexpr int IDS_TIP_SEND_IR = 537;
inline constexpr int IDS_TIP_HELP = 538;
inline constexpr int IDS_TIP_VOICES = 539;
inline constexpr int IDS_TIP_DEFAULT_DEVICE = 540;
inline constexpr int IDS_TIP_OUTPUT_PORT = 541;
inline constexpr int IDS_TIP_MAP_SPMIDI = 542;
inline constexpr int IDS_TIP_MAP_GM = 543;
inline constexpr int IDS_TIP_VIBRA_DP1 = 544;
inline constexpr int IDS_TIP_VIBRA_DP2 = 545;
inline constexpr int IDS_TIP_STRIP_TEXT = 546;
inline constexpr int IDS_TIP_STRIP_SYSEX = 547;
inline constexpr int IDS_TIP_STRIP_CONTROLS = 548;
inline constexpr int IDS_TIP_PRIO_CHANNEL = 549;
inline constexpr int IDS_TIP_PRIO_OBLIX = 550;
// Why Send via IR is off, as its tool tip and status text.
inline constexpr int IDS_IR_NEEDS_SONG = 552;
inline constexpr int IDS_IR_NEEDS_PROGRAM = 553;
// The submenus of "&Options", in menu order.
inline constexpr int IDS_TIP_MIDI_OUTPUT_MENU = 554;
inline constexpr int IDS_TIP_MAPPING_MENU = 555;
inline constexpr int IDS_TIP_VIBRA_MENU = 556;
inline constexpr int IDS_TIP_STRIPPING_MENU = 557;
inline constexpr int IDS_TIP_PROPOSAL_MENU = 558;
inline constexpr int IDS_TIP_VOICES_MENU = 559;
// The Polyphony window's graph.
inline constexpr int IDS_TIP_GRAPH = 560;

// --- Undo steps, the playing time, a changed file (500-529) ---
inline constexpr int IDS_STEP_PRIORITY = 500;
inline constexpr int IDS_STEP_POLYPHONY = 501;
inline constexpr int IDS_STEP_MUTE = 502;
inline constexpr int IDS_STEP_SOLO = 503;
inline constexpr int IDS_STEP_REMOVE = 504;
inline constexpr int IDS_STEP_DUPLICATE = 505;
inline constexpr int IDS_STEP_VIBRA = 506;
inline constexpr int IDS_STEP_CHANNEL_BOXES = 507;
inline constexpr int IDS_STEP_DRAG = 508;
inline constexpr int IDS_FILE_CHANGED = 509;
inline constexpr int IDS_FILE_CHANGED_MODIFIED = 510;
inline constexpr int IDS_OPEN_FILTER = 511;
inline constexpr int IDS_ALL_FILES_FILTER = 512;

// The resource path of a picture or icon id, e.g. ":/res/331.png".
inline constexpr const char* kPicturePrefix = ":/res/";

} // namespace Res
