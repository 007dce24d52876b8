#include "song/BatchFileEntry.h"

const char* BatchFileEntry::ResultText() const {
    switch (result) {
    case Processed:
        return "OK";
    case Failed:
        return "Failed";
    default:
        return "-";
    }
}
