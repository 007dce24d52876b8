#include "app/CheckWords.h"

#include "resources/StringTable.h"
#include "resources/resource.h"

QString TallyText(const SpMidiTally& tally) {
    const QString errors = tally.errors == 1
                               ? StringTable::Get(Res::IDS_COUNT_ERROR_ONE)
                               : StringTable::Get(Res::IDS_COUNT_ERRORS).arg(tally.errors);
    const QString warnings = tally.warnings == 1
                                 ? StringTable::Get(Res::IDS_COUNT_WARNING_ONE)
                                 : StringTable::Get(Res::IDS_COUNT_WARNINGS).arg(tally.warnings);
    return StringTable::Get(Res::IDS_COUNTS).arg(errors, warnings);
}
