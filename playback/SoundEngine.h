#pragma once

#include "playback/OutputPortRecord.h"
#include "playback/PlaybackSettingsStore.h"
#include "playback/Segment.h"
#include "playback/SegmentState.h"
#include "playback/SoundBackend.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// The process-wide sound engine: the outputs, the selected one, and the player thread that
// sends a segment's events at their times. Every operation is called from one thread (the
// user-interface thread); the player thread only sends events and clears the playing flag.
//
// Settings "MIDIOutputDeviceIndex" and "InstrumentMapIndex" are read at start-up and written
// back at shut-down when the engine had started.

// Starts the engine on the system's outputs. `settings` must stay alive until
// ShutdownSoundEngine returns. False when the default device cannot sound: then nothing
// plays for the rest of the run and the settings are not written back.
bool StartSoundEngine(PlaybackSettingsStore& settings);
// The same over the given outputs.
bool StartSoundEngine(PlaybackSettingsStore& settings, std::unique_ptr<SoundBackend> backend);
// Stops playback, writes the two settings and releases every output. Safe to call twice or
// without a start.
void ShutdownSoundEngine();

// 0 = the default device, n >= 1 = the n-th output port. Stops the current playback. An
// index beyond the ports or a port that cannot be opened selects the default device.
void SelectOutputPort(std::uint32_t index);
// The segment of an in-memory Standard MIDI File; nullptr when the engine is not ready or
// the bytes are not a song.
std::shared_ptr<const Segment> LoadSegmentFromMemory(const std::uint8_t* bytes, std::size_t length);
// Stops the current playback and starts `segment` from its beginning on the selected output.
// nullptr (and nothing plays) for a null segment or an engine that is not ready.
// `audibleChannels` (bit n: channel index n) are the channels that sound at the start; the
// state's SetAudibleChannels changes them while it plays.
std::shared_ptr<SegmentState> PlaySegment(const std::shared_ptr<const Segment>& segment,
                                          std::uint16_t audibleChannels = 0xFFFF);
// Stops the current playback; when it returns, the player thread has ended and every channel
// of the output has been silenced.
void StopAndWait();

bool IsSoundReady();
// A segment is sounding.
bool IsEnginePlaying();
std::size_t GetOutputPortCount();
// Throws std::invalid_argument for an index outside 0 ... GetOutputPortCount() - 1.
OutputPortRecord GetOutputPort(std::size_t index);
std::uint32_t GetMidiOutputDeviceIndex();
// The instrument map the user chose (0 reduced SP-MIDI, 1 full GM), as read at start-up
// (also when no output could sound) and written back at shut-down.
std::uint32_t GetInstrumentMapIndex();
void SetInstrumentMapIndex(std::uint32_t index);
