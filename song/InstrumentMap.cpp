#include "song/InstrumentMap.h"

namespace {

constexpr const char* kProgramNames[128] = {
    "Acoustic Grand",
    "Bright Acoustic",
    "Electric Grand",
    "Honky-Tonk",
    "Electric Piano 1",
    "Electric Piano 2",
    "Harpsichord",
    "Clav",
    "Celesta",
    "Glockenspiel",
    "Music Box",
    "Vibraphone",
    "Marimba",
    "Xylophone",
    "Tubular Bells",
    "Dulcimer",
    "Drawbar Organ",
    "Percussive Organ",
    "Rock Organ",
    "Church Organ",
    "Reed Organ",
    "Accoridan",
    "Harmonica",
    "Tango Accordian",
    "Acoustic Guitar(nylon)",
    "Acoustic Guitar(steel)",
    "Electric Guitar(jazz)",
    "Electric Guitar(clean)",
    "Electric Guitar(muted)",
    "Overdriven Guitar",
    "Distortion Guitar",
    "Guitar Harmonics",
    "Acoustic Bass",
    "Electric Bass(finger)",
    "Electric Bass(pick)",
    "Fretless Bass",
    "Slap Bass 1",
    "Slap Bass 2",
    "Synth Bass 1",
    "Synth Bass 2",
    "Violin",
    "Viola",
    "Cello",
    "Contrabass",
    "Tremolo Strings",
    "Pizzicato Strings",
    "Orchestral Strings",
    "Timpani",
    "String Ensemble 1",
    "String Ensemble 2",
    "SynthStrings 1",
    "SynthStrings 2",
    "Choir Aahs",
    "Voice Oohs",
    "Synth Voice",
    "Orchestra Hit",
    "Trumpet",
    "Trombone",
    "Tuba",
    "Muted Trumpet",
    "French Horn",
    "Brass Section",
    "SynthBrass 1",
    "SynthBrass 2",
    "Soprano Sax",
    "Alto Sax",
    "Tenor Sax",
    "Baritone Sax",
    "Oboe",
    "English Horn",
    "Bassoon",
    "Clarinet",
    "Piccolo",
    "Flute",
    "Recorder",
    "Pan Flute",
    "Blown Bottle",
    "Skakuhachi",
    "Whistle",
    "Ocarina",
    "Lead 1 (square)",
    "Lead 2 (sawtooth)",
    "Lead 3 (calliope)",
    "Lead 4 (chiff)",
    "Lead 5 (charang)",
    "Lead 6 (voice)",
    "Lead 7 (fifths)",
    "Lead 8 (bass+lead)",
    "Pad 1 (new age)",
    "Pad 2 (warm)",
    "Pad 3 (polysynth)",
    "Pad 4 (choir)",
    "Pad 5 (bowed)",
    "Pad 6 (metallic)",
    "Pad 7 (halo)",
    "Pad 8 (sweep)",
    "FX 1 (rain)",
    "FX 2 (soundtrack)",
    "FX 3 (crystal)",
    "FX 4 (atmosphere)",
    "FX 5 (brightness)",
    "FX 6 (goblins)",
    "FX 7 (echoes)",
    "FX 8 (sci-fi)",
    "Sitar",
    "Banjo",
    "Shamisen",
    "Koto",
    "Kalimba",
    "Bagpipe",
    "Fiddle",
    "Shanai",
    "Tinkle Bell",
    "Agogo",
    "Steel Drums",
    "Woodblock",
    "Taiko Drum",
    "Melodic Tom",
    "Synth Drum",
    "Reverse Cymbal",
    "Guitar Fret Noise",
    "Breath Noise",
    "Seashore",
    "Bird Tweet",
    "Telephone Ring",
    "Helicopter",
    "Applause",
    "Gunshot",
};

// The reduced SP-MIDI map: the program that replaces each GM program. Its image, the 29
// programs 0, 9, 11, 12, 16, 27, 33, 40, 48, 49, 56, 66, 73, 78, 81, 89, 99, 114, 115, 117
// and 119-127, maps to itself.
constexpr std::uint8_t kReducedMap[128] = {
    0,   0,   0,   0,   0,   0,   0,   0,   0,   9,   9,   11,  12,  12,  9,   11,  // 0-15
    16,  16,  16,  16,  16,  16,  16,  16,  27,  27,  27,  27,  27,  27,  27,  27,  // 16-31
    33,  33,  33,  33,  33,  33,  33,  33,  40,  40,  40,  40,  48,  12,  9,   114, // 32-47
    48,  49,  49,  49,  89,  89,  89,  114, 56,  56,  56,  56,  56,  56,  56,  56,  // 48-63
    66,  66,  66,  66,  66,  66,  66,  66,  73,  73,  78,  73,  73,  73,  78,  33,  // 64-79
    81,  81,  81,  81,  81,  81,  81,  81,  89,  89,  99,  89,  89,  89,  89,  89,  // 80-95
    89,  89,  9,   99,  99,  89,  89,  99,  27,  27,  27,  27,  12,  16,  40,  66,  // 96-111
    114, 115, 114, 115, 117, 117, 117, 119, 120, 121, 122, 123, 124, 125, 126, 127, // 112-127
};

} // namespace

std::uint32_t MapInstrument(std::uint32_t program, std::uint32_t mapIndex) {
    if (mapIndex != 0 || program >= 128)
        return program;
    return kReducedMap[program];
}

const char* GetProgramName(std::uint32_t program) {
    return program < 128 ? kProgramNames[program] : "Unknown";
}

std::string GetInstrumentName(std::uint32_t program, int channel, bool channel11Percussion,
                              std::uint32_t mapIndex) {
    if (channel == 9 || (channel == 10 && channel11Percussion))
        return "Percussive";
    if (program >= 128)
        return "Unknown";
    return GetProgramName(MapInstrument(program, mapIndex));
}
