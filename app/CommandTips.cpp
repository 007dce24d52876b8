#include "app/CommandTips.h"
#include "resources/MenuTable.h"
#include "resources/StringTable.h"
#include "resources/resource.h"

#include <QAction>
#include <QFileInfo>

namespace {

// The string of a command's tool tip text; 0 where its prompt says enough.
int ExplanationId(int id) {
    using namespace Res;
    switch (id) {
    case ID_FILE_OPEN:
        return IDS_TIP_OPEN;
    case ID_FILE_RELOAD:
        return IDS_TIP_RELOAD;
    case ID_FILE_SAVE:
        return IDS_TIP_SAVE;
    case ID_PLAY:
        return IDS_TIP_PLAY;
    case ID_PLAY_SOLO:
        return IDS_TIP_PLAY_SOLO;
    case ID_STOP:
        return IDS_TIP_STOP;
    case ID_SEND_IR:
        return IDS_TIP_SEND_IR;
    case ID_DEFAULT_HELP:
    case ID_HELP:
    case ID_HELP_FINDER:
        return IDS_TIP_HELP;
    case ID_MIDI_OUTPUT_FIRST:
        return IDS_TIP_DEFAULT_DEVICE;
    case ID_MAP_SPMIDI:
        return IDS_TIP_MAP_SPMIDI;
    case ID_MAP_GM:
        return IDS_TIP_MAP_GM;
    case ID_VIBRA_DP1:
        return IDS_TIP_VIBRA_DP1;
    case ID_VIBRA_DP2:
        return IDS_TIP_VIBRA_DP2;
    case ID_STRIP_TEXT:
        return IDS_TIP_STRIP_TEXT;
    case ID_STRIP_SYSEX:
        return IDS_TIP_STRIP_SYSEX;
    case ID_STRIP_CONTROLS:
        return IDS_TIP_STRIP_CONTROLS;
    case ID_PRIO_CHANNEL:
        return IDS_TIP_PRIO_CHANNEL;
    case ID_PRIO_OBLIX:
        return IDS_TIP_PRIO_OBLIX;
    default:
        return 0;
    }
}

} // namespace

QString ToolTipText(const QString& name, const QKeySequence& key, const QString& explanation) {
    const QString title = key.isEmpty() ? name
                                        : StringTable::Get(Res::IDS_TIP_NAME_KEY)
                                              .arg(name, key.toString(QKeySequence::NativeText));
    if (explanation.isEmpty() || explanation == name)
        return title;
    return title + QLatin1Char('\n') + explanation;
}

QString CommandName(const QAction& action) {
    QString name = action.text().section(QLatin1Char('\t'), 0, 0);
    // "&&" is a literal ampersand, a lone "&" marks the mnemonic.
    name.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    name.remove(QLatin1Char('&'));
    name.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    if (name.endsWith(QStringLiteral("...")))
        name.chop(3);
    return name;
}

QString CommandExplanation(int id) {
    const int explanation = ExplanationId(id);
    return explanation != 0 ? StringTable::Get(explanation) : StringTable::Prompt(id);
}

QString OptionsSubmenuToolTip(int position) {
    using namespace MenuTable;
    switch (position) {
    case kMidiOutputPosition:
        return StringTable::Get(Res::IDS_TIP_MIDI_OUTPUT_MENU);
    case kInstrumentMappingPosition:
        return StringTable::Get(Res::IDS_TIP_MAPPING_MENU);
    case kVibraTriggerPosition:
        return StringTable::Get(Res::IDS_TIP_VIBRA_MENU);
    case kEventStrippingPosition:
        return StringTable::Get(Res::IDS_TIP_STRIPPING_MENU);
    case kPriorityProposalPosition:
        return StringTable::Get(Res::IDS_TIP_PROPOSAL_MENU);
    case kPlaybackVoicesPosition:
        return StringTable::Get(Res::IDS_TIP_VOICES_MENU);
    default:
        return {};
    }
}

QString SendViaIrBlocker(bool songLoaded, const QString& program) {
    if (program.isEmpty())
        return StringTable::Get(Res::IDS_IR_NEEDS_PROGRAM);
    if (!songLoaded)
        return StringTable::Get(Res::IDS_IR_NEEDS_SONG).arg(QFileInfo(program).fileName());
    return {};
}
