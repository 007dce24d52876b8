#include "playback/QuietAlsaErrors.h"

#include <alsa/asoundlib.h>

namespace {

void DiscardAlsaError(const char*, int, const char*, int, const char*, ...) {}

} // namespace

QuietAlsaErrors::QuietAlsaErrors() {
    snd_lib_error_set_handler(DiscardAlsaError);
}

QuietAlsaErrors::~QuietAlsaErrors() {
    snd_lib_error_set_handler(nullptr);
}
