#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Deterministic test songs of plain channel messages, as large as a benchmark needs: a
// format 1 file with a tempo track and one track per channel (16), each a long run of
// chords and melody notes written with running status, with program changes, controllers
// and pitch bends among them. The same steps give the same bytes on every machine.
namespace generatedsong {

// A sixth of a second of music per step at the song's tempo; a channel writes about 23 bytes a
// step.
constexpr std::uint32_t kStepTicks = 160;
constexpr int kDivision = 480;

// The song's bytes for `steps` steps per channel.
std::vector<std::uint8_t> Build(std::uint64_t steps);
// The steps that make a song of about `bytes` bytes.
std::uint64_t StepsForSize(std::uint64_t bytes);
// The steps that make a song of about `minutes` minutes.
std::uint64_t StepsForMinutes(double minutes);
// Writes the song to `path` track by track (a 1 GB song is never whole in memory); false
// when the file cannot be written.
bool Write(const std::string& path, std::uint64_t steps);

} // namespace generatedsong
