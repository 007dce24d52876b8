#include "app/LoadWords.h"
#include "resources/StringTable.h"
#include "resources/resource.h"

#include <QStringList>

QString LeftOutText(const std::vector<LoadReport::LeftOut>& leftOut) {
    using Kind = LoadReport::LeftOut::Kind;
    QStringList texts;
    for (const LoadReport::LeftOut& what : leftOut) {
        const QString count = QString::number(what.count);
        switch (what.kind) {
        case Kind::TooLargeEvents:
            texts << StringTable::Get(what.count == 1 ? Res::IDS_LEFT_OUT_TOO_LARGE_ONE
                                                      : Res::IDS_LEFT_OUT_TOO_LARGE)
                         .arg(count);
            break;
        case Kind::UnterminatedSysEx:
            texts << StringTable::Get(what.count == 1 ? Res::IDS_LEFT_OUT_SYSEX_ONE
                                                      : Res::IDS_LEFT_OUT_SYSEX)
                         .arg(count);
            break;
        case Kind::ReadError:
            texts << StringTable::Get(Res::IDS_LEFT_OUT_READ_ERROR);
            break;
        case Kind::CutInsideEvent:
            texts << StringTable::Get(Res::IDS_LEFT_OUT_CUT);
            break;
        case Kind::TracksAfterLimit:
            texts << StringTable::Get(Res::IDS_LEFT_OUT_TRACKS).arg(count);
            break;
        case Kind::TimesCut:
            texts << StringTable::Get(Res::IDS_LEFT_OUT_TIMES).arg(count);
            break;
        }
    }
    return texts.join(QStringLiteral(", "));
}
