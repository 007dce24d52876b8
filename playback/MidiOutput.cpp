#include "playback/MidiOutput.h"

void MidiOutput::SilenceAll() {
    for (std::uint8_t ch = 0; ch < 16; ++ch) {
        const std::uint8_t allSoundOff[3] = {static_cast<std::uint8_t>(0xB0 | ch), 120, 0};
        const std::uint8_t allNotesOff[3] = {static_cast<std::uint8_t>(0xB0 | ch), 123, 0};
        Send(allSoundOff, 3);
        Send(allNotesOff, 3);
    }
}

void MidiOutput::ResetControllers() {
    for (std::uint8_t ch = 0; ch < 16; ++ch) {
        const std::uint8_t reset[3] = {static_cast<std::uint8_t>(0xB0 | ch), 121, 0};
        Send(reset, 3);
    }
}
