// The audio file sink of the tests' ALSA device (tessarix_alsa_home in tests/CMakeLists.txt):
// every frame the device is given, as 16-bit stereo at 44100 Hz, and the sounds in it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/test_time.h"
#include "tests/wine_paths.h"

namespace audio_sink {

constexpr double kMsPerFrame = 1000.0 / 44100.0;
constexpr size_t kFrameBytes = 4;
// NOTE: a mixer that falls behind (Wine's, when the machine is slow or emulated) fills its
// missed periods with exact zeros, hundreds of frames long, in the middle of a sound.
constexpr size_t kMixerGap = 64;

// The sink's bytes from the given offset on.
inline std::vector<uint8_t> read(const std::string& windows_file, size_t from = 0) {
  std::ifstream in(windows_file, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(from));
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The bytes without the periods the mixer missed where a sound was sounding: zero runs of
// kMixerGap frames or more that start within kMixerGap frames of a frame at the level of
// sound (a wave passes below that level at each of its zero crossings). A sound's own
// silences come after it has faded below that level for longer.
inline std::vector<uint8_t> without_missed_periods(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> kept;
  auto level = [&](size_t frame) {
    const int l = static_cast<int16_t>(raw[4 * frame] | raw[4 * frame + 1] << 8);
    const int r = static_cast<int16_t>(raw[4 * frame + 2] | raw[4 * frame + 3] << 8);
    return std::max(std::abs(l), std::abs(r));
  };
  size_t since_loud = kMixerGap + 1;  // frames since the last one at the level of sound
  for (size_t i = 0, frames = raw.size() / kFrameBytes; i < frames;) {
    size_t zeros = 0;
    while (i + zeros < frames && level(i + zeros) == 0) ++zeros;
    const bool cut_off = zeros >= kMixerGap && since_loud <= kMixerGap;
    const size_t step = std::max<size_t>(zeros, 1);
    if (!cut_off) kept.insert(kept.end(), raw.begin() + 4 * i, raw.begin() + 4 * (i + step));
    since_loud = zeros == 0 && level(i) >= 200 ? 1 : since_loud + step;
    i += step;
  }
  return kept;
}

// A run of sound: start and length in ms, its peak as a share of full scale, the mixer's
// gaps inside it and since the run before, and its samples that are not exact zeros.
struct sound_run {
  double start_ms, length_ms, peak, gap_ms, gap_before_ms;
  std::vector<double> heard = {};
};

// The runs of sound in the bytes (the louder channel of each frame); silences shorter
// than gap_ms join runs.
inline std::vector<sound_run> runs(const std::vector<uint8_t>& raw, int gap_ms) {
  std::vector<sound_run> found;
  const size_t frames = raw.size() / kFrameBytes, gap = static_cast<size_t>(gap_ms / kMsPerFrame);
  std::vector<double> levels(frames);
  for (size_t i = 0; i < frames; ++i) {
    const int l = static_cast<int16_t>(raw[4 * i] | raw[4 * i + 1] << 8);
    const int r = static_cast<int16_t>(raw[4 * i + 2] | raw[4 * i + 3] << 8);
    levels[i] = (std::abs(l) >= std::abs(r) ? l : r) / 32768.0;
  }
  // missed: frames in zero runs of kMixerGap or more so far; the rest mark where runs lie.
  size_t start = 0, last_loud = 0, zeros = 0, missed = 0, at_start = 0, at_loud = 0, at_end = 0;
  bool in_run = false;
  auto close_run = [&] {
    sound_run run{start * kMsPerFrame, (last_loud + 1 - start) * kMsPerFrame, 0, (at_loud - at_start) * kMsPerFrame,
                  (at_start - at_end) * kMsPerFrame};
    for (size_t i = start; i <= last_loud; ++i)
      if (levels[i] != 0) run.heard.push_back(levels[i]), run.peak = std::max(run.peak, std::abs(levels[i]));
    found.push_back(std::move(run));
    at_end = at_loud;
    in_run = false;
  };
  for (size_t i = 0; i < frames; ++i) {
    zeros = levels[i] == 0 ? zeros + 1 : 0;
    if (zeros == kMixerGap) missed += kMixerGap;
    if (zeros > kMixerGap) ++missed;
    if (std::abs(levels[i]) < 200 / 32768.0) {
      if (in_run && i - last_loud > gap) close_run();
      continue;
    }
    if (!in_run) in_run = true, start = i, at_start = missed;
    last_loud = i;
    at_loud = missed;
  }
  if (in_run) close_run();
  return found;
}

// The runs of sound in the sink's file from the given offset on, without the mixer's missed
// periods.
inline std::vector<sound_run> runs(const std::string& windows_file, int gap_ms, size_t from = 0) {
  return runs(without_missed_periods(read(windows_file, from)), gap_ms);
}

// Waits until the sink has taken ms more frames than it held when called and ends in ms
// of silence: what was played before the call has all reached it then, however far the
// mixer lags behind.
inline bool caught_up(const std::string& windows_file, int ms = 400) {
  const size_t bytes = static_cast<size_t>(ms / kMsPerFrame) * kFrameBytes,
               until = wine_paths::file_size(windows_file) + bytes;
  return test_time::wait_until(
      [&] {
        const size_t now = wine_paths::file_size(windows_file);
        return now >= until && runs(read(windows_file, now - bytes), ms).empty();
      },
      10000);
}

}  // namespace audio_sink
