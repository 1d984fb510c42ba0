#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/assets.h"
#include "tests/sound/sound_test_support.h"

namespace {

using sound_test::as_buffer;
using sound_test::instance_buffer;
using sound_test::play_position;
using sound_test::SoundTest;
using sound_test::square_image;
using sound_test::status_of;
using sound_test::volume_of;
using sound_test::wait_until_stopped;

constexpr size_t kSecond = 22050;  // samples of the test sounds

// The test's ALSA device writes every frame it is given to this file (the Unix path
// comes in TESSARIX_AUDIO_SINK; Wine shows the Unix root as drive Z:).
std::string sink_path() {
  char unix_path[MAX_PATH] = "";
  GetEnvironmentVariableA("TESSARIX_AUDIO_SINK", unix_path, sizeof(unix_path));
  std::string path = std::string("Z:") + unix_path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::vector<uint8_t> read_sink(size_t from) {
  std::vector<uint8_t> bytes;
  HANDLE file = CreateFileA(sink_path().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  LARGE_INTEGER size{};
  GetFileSizeEx(file, &size);
  if (static_cast<size_t>(size.QuadPart) > from) {
    bytes.resize(static_cast<size_t>(size.QuadPart) - from);
    LARGE_INTEGER offset{};
    offset.QuadPart = static_cast<LONGLONG>(from);
    SetFilePointerEx(file, offset, nullptr, FILE_BEGIN);
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
  }
  CloseHandle(file);
  return bytes;
}

size_t sink_size() {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(sink_path().c_str(), GetFileExInfoStandard, &data)) return 0;
  return static_cast<size_t>(static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
}

// What the sink heard: the samples (as shares of full scale) from the first to the last
// that is not silent, and how many of them lie near a given level.
// NOTE: a mixer that falls behind (Wine's, when the machine is slow or emulated) fills its
// missed periods with exact zeros, hundreds of frames long, in the middle of a sound. They
// say nothing about the level we asked for, so the level is judged on the rest; the span
// from first to last sounding sample keeps them, since it measures time.
constexpr size_t kMixerGap = 64;

struct heard {
  std::vector<double> sounding;
  std::vector<double> judged;  // the sounding samples outside the mixer's gaps
  size_t gap_samples = 0;
  // How long it sounded, without the mixer's gaps.
  double heard_samples() const { return static_cast<double>(judged.size()); }
  double share_near(double level) const {
    size_t close = 0;
    for (double x : judged) close += std::fabs(std::fabs(x) - level) < 0.3 * level;
    return judged.empty() ? 0 : static_cast<double>(close) / judged.size();
  }
};

// NOTE: the frames' format is the sound driver's choice, not ours: Wine's mixer hands
// ALSA 32-bit floats here, resampled from the buffer's rate. The bytes are read as floats
// when all of them make plausible samples, and as 16-bit integers otherwise; either way
// silence is all zeros, and a square wave keeps its level through the resampling apart
// from a little ringing at each edge.
heard listen(const std::vector<uint8_t>& bytes) {
  std::vector<double> samples;
  size_t floats = bytes.size() / 4, plausible = 0, nonzero = 0;
  for (size_t i = 0; i < floats; ++i) {
    float x;
    std::memcpy(&x, bytes.data() + 4 * i, 4);
    if (x == 0) continue;
    ++nonzero;
    plausible += std::isfinite(x) && std::fabs(x) <= 1.5f && std::fabs(x) > 1e-7f;
  }
  if (nonzero && plausible == nonzero) {
    for (size_t i = 0; i < floats; ++i) {
      float x;
      std::memcpy(&x, bytes.data() + 4 * i, 4);
      samples.push_back(x);
    }
  } else {
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
      int16_t x;
      std::memcpy(&x, bytes.data() + i, 2);
      samples.push_back(x / 32768.0);
    }
  }
  heard result;
  size_t first = samples.size(), last = 0;
  for (size_t i = 0; i < samples.size(); ++i)
    if (std::fabs(samples[i]) > 0.02) {
      if (first == samples.size()) first = i;
      last = i;
    }
  if (first < samples.size()) result.sounding.assign(samples.begin() + first, samples.begin() + last + 1);
  const std::vector<double>& all = result.sounding;
  for (size_t i = 0; i < all.size();) {
    size_t zeros = 0;
    while (i + zeros < all.size() && all[i + zeros] == 0) ++zeros;
    if (zeros >= kMixerGap) {
      result.gap_samples += zeros;
      i += zeros;
      continue;
    }
    const size_t end = i + std::max<size_t>(zeros, 1);
    result.judged.insert(result.judged.end(), all.begin() + i, all.begin() + end);
    i = end;
  }
  return result;
}

// Plays number 0 once and returns what reached the sink meanwhile.
heard play_and_listen(IDirectSoundBuffer* buffer) {
  size_t from = sink_size();
  EXPECT_EQ(1, sound_play(0));
  EXPECT_TRUE(wait_until_stopped(buffer, 5000));
  Sleep(300);  // the mixer's last periods
  return listen(read_sink(from));
}

TEST_F(SoundTest, PlayedSamplesReachTheSink) {
  std::vector<uint8_t> image = square_image(kSecond / 4);
  IDirectSoundBuffer* buffer = as_buffer(sound_from_memory(0, image.data()));
  ASSERT_NE(nullptr, buffer);
  // The device writes its first frames a little after it opens.
  for (DWORD start = GetTickCount(); !sink_size() && GetTickCount() - start < 3000;) Sleep(20);
  ASSERT_NE(0u, sink_size()) << "nothing reaches " << sink_path();

  size_t from = sink_size();
  Sleep(300);
  heard quiet = listen(read_sink(from));
  EXPECT_EQ(0u, quiet.sounding.size()) << "nothing plays yet";

  heard full = play_and_listen(buffer);
  // A quarter second at a rate of at least 8000 Hz.
  EXPECT_GT(full.sounding.size(), 2000u);
  EXPECT_GT(full.share_near(0.5), 0.8) << "the square wave at half of full scale; " << full.gap_samples << " of "
                                       << full.sounding.size() << " samples in mixer gaps";

  // Volume 50 is -6.03 dB: the same wave at a quarter of full scale.
  ASSERT_EQ(1, sound_set_volume(0, 50));
  heard half = play_and_listen(buffer);
  EXPECT_GT(half.sounding.size(), 2000u);
  EXPECT_GT(half.share_near(0.25), 0.8) << half.gap_samples << " of " << half.sounding.size() << " in mixer gaps";
  EXPECT_LT(half.share_near(0.5), 0.1);
}

TEST_F(SoundTest, PlayingAgainRestartsFromTheBeginning) {
  std::vector<uint8_t> image = square_image(10 * kSecond);
  IDirectSoundBuffer* buffer = as_buffer(sound_from_memory(0, image.data()));
  ASSERT_NE(nullptr, buffer);
  ASSERT_EQ(1, sound_play(0));
  Sleep(300);
  DWORD played = play_position(buffer);
  ASSERT_EQ(DSBSTATUS_PLAYING, status_of(buffer) & DSBSTATUS_PLAYING);
  ASSERT_GT(played, 4000u) << "the buffer should have moved on";

  ASSERT_EQ(1, sound_play(0));
  DWORD restarted = play_position(buffer);
  EXPECT_LT(restarted, played / 2) << "played from " << played;
  EXPECT_EQ(DSBSTATUS_PLAYING, status_of(buffer) & (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING)) << "once, not looping";

  sound_stop(0);
  EXPECT_EQ(0u, status_of(buffer) & DSBSTATUS_PLAYING);
  EXPECT_EQ(0u, play_position(buffer)) << "a stopped sound is rewound";
}

// The program's rolling die played again while it still plays, as a quick second "START"
// would: the sink hears the part played so far and then the whole roll again from its
// beginning, so the run grows by that part. A roll not restarted would not grow; one
// restarted elsewhere would grow by another amount.
TEST_F(SoundTest, RollPlayedAgainWhilePlayingStartsAgainAtItsBeginningInTheSink) {
  IDirectSoundBuffer* buffer = as_buffer(sound_from_memory(1, dice_roll_sound));
  ASSERT_NE(nullptr, buffer);
  for (DWORD start = GetTickCount(); !sink_size() && GetTickCount() - start < 3000;) Sleep(20);
  ASSERT_NE(0u, sink_size()) << "nothing reaches " << sink_path();
  // The roll sounds from 7.5 ms to 442 ms of its data, 64 bytes to the millisecond.
  constexpr double kSoundingMs = 434.4, kBytesPerMs = 64;

  size_t from = sink_size();
  ASSERT_EQ(1, sound_play(1));
  ASSERT_TRUE(wait_until_stopped(buffer, 5000));
  Sleep(300);
  const double once = listen(read_sink(from)).heard_samples();
  ASSERT_GT(once, 1000);

  from = sink_size();
  ASSERT_EQ(1, sound_play(1));
  for (DWORD start = GetTickCount(); play_position(buffer) < 200 * kBytesPerMs && GetTickCount() - start < 2000;)
    Sleep(1);
  ASSERT_EQ(DSBSTATUS_PLAYING, status_of(buffer) & DSBSTATUS_PLAYING) << "still playing when pressed again";
  const double played_ms = play_position(buffer) / kBytesPerMs;
  ASSERT_EQ(1, sound_play(1));
  EXPECT_LT(play_position(buffer) / kBytesPerMs, 20) << "played again from its start";
  ASSERT_TRUE(wait_until_stopped(buffer, 5000));
  Sleep(300);
  const double again = listen(read_sink(from)).heard_samples();
  const double grown_ms = (again - once) / once * kSoundingMs;
  // NOTE: Wine's mixer reads ahead of what reaches the device; the play position and the
  // part the sink heard differ by a few of its periods, hence the wide margin.
  EXPECT_GT(grown_ms, 100) << "the whole roll followed the part already played; once " << once << ", again " << again;
  EXPECT_NEAR(played_ms, grown_ms, 120) << "the run grew by the part played before the restart";
}

TEST_F(SoundTest, InstancesOverlapAndAreReapedByTheNextInstancePlay) {
  std::vector<uint8_t> image = square_image(2 * kSecond);
  IDirectSoundBuffer* main_buffer = as_buffer(sound_from_memory(0, image.data()));
  ASSERT_NE(nullptr, main_buffer);
  // The main buffer's own volume is not what instances start with: they take the
  // volume the sound had when it was loaded.
  ASSERT_EQ(1, sound_set_volume(0, 50));

  intptr_t handles[3];
  for (intptr_t& handle : handles) {
    handle = sound_play(0, SOUND_INSTANCE);
    ASSERT_NE(0, handle);
  }
  for (int i = 0; i < 3; ++i) {
    IDirectSoundBuffer* buffer = instance_buffer(handles[i]);
    EXPECT_NE(main_buffer, buffer);
    EXPECT_EQ(DSBSTATUS_PLAYING, status_of(buffer) & DSBSTATUS_PLAYING) << "instance " << i << " overlaps the others";
    EXPECT_EQ(0, volume_of(buffer)) << "instance " << i;
    DWORD frequency = 0;
    buffer->GetFrequency(&frequency);
    EXPECT_EQ(22050u, frequency) << "instance " << i;
  }
  EXPECT_EQ(0u, status_of(main_buffer) & DSBSTATUS_PLAYING) << "instances leave the main buffer alone";

  IDirectSoundBuffer* finished[3];
  for (int i = 0; i < 3; ++i) {
    finished[i] = instance_buffer(handles[i]);
    ASSERT_TRUE(wait_until_stopped(finished[i], 10000)) << "instance " << i;
    finished[i]->AddRef();
  }
  intptr_t next = sound_play(0, SOUND_INSTANCE, 50);
  ASSERT_NE(0, next);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(0u, finished[i]->Release()) << "instance " << i << " is reaped";
  EXPECT_EQ(-603, volume_of(instance_buffer(next))) << "a volume given to the play";
  EXPECT_EQ(DSBSTATUS_PLAYING, status_of(instance_buffer(next)) & DSBSTATUS_PLAYING);
}

TEST_F(SoundTest, PlayingInstancesStayUntilTheSoundIsFreed) {
  std::vector<uint8_t> image = square_image(10 * kSecond);
  ASSERT_NE(0, sound_from_memory(0, image.data()));
  intptr_t first = sound_play(0, SOUND_INSTANCE);
  intptr_t second = sound_play(0, SOUND_INSTANCE | SOUND_LOOP);
  ASSERT_NE(0, first);
  ASSERT_NE(0, second);
  IDirectSoundBuffer* playing[] = {instance_buffer(first), instance_buffer(second)};
  EXPECT_EQ(DSBSTATUS_LOOPING, status_of(playing[1]) & DSBSTATUS_LOOPING);
  for (IDirectSoundBuffer* buffer : playing) buffer->AddRef();

  ASSERT_NE(0, sound_play(0, SOUND_INSTANCE));
  for (IDirectSoundBuffer* buffer : playing) {
    EXPECT_EQ(3u, buffer->AddRef()) << "the library's reference, the test's and this one: not reaped";
    buffer->Release();
  }
  EXPECT_EQ(1, sound_free(0));
  for (int i = 0; i < 2; ++i) EXPECT_EQ(0u, playing[i]->Release()) << "instance " << i << " goes with its sound";
  EXPECT_EQ(0, sound_play(0, SOUND_INSTANCE));
}

TEST_F(SoundTest, VolumeIsClampedAndSetOnTheSelectedBuffers) {
  std::vector<uint8_t> image = square_image(10 * kSecond);
  IDirectSoundBuffer* main_buffer = as_buffer(sound_from_memory(0, image.data()));
  ASSERT_NE(nullptr, main_buffer);

  const struct {
    int32_t volume;
    LONG attenuation;
  } cases[] = {{150, 0}, {-5, -10000}, {50, -603}, {100, 0}, {0, -10000}, {1, -4000}, {10, -2000}, {99, -9}};
  for (const auto& c : cases) {
    EXPECT_EQ(1, sound_set_volume(0, c.volume));
    EXPECT_EQ(c.attenuation, volume_of(main_buffer)) << "volume " << c.volume;
  }

  intptr_t first = sound_play(0, SOUND_INSTANCE);
  intptr_t second = sound_play(0, SOUND_INSTANCE);
  ASSERT_NE(0, first);
  ASSERT_NE(0, second);
  EXPECT_EQ(1, sound_set_volume(0, 50, SOUND_EVERY_BUFFER));
  EXPECT_EQ(-603, volume_of(main_buffer));
  EXPECT_EQ(-603, volume_of(instance_buffer(first)));
  EXPECT_EQ(-603, volume_of(instance_buffer(second)));

  EXPECT_EQ(1, sound_set_volume(0, 10, first));
  EXPECT_EQ(-2000, volume_of(instance_buffer(first)));
  EXPECT_EQ(-603, volume_of(instance_buffer(second)));
  EXPECT_EQ(-603, volume_of(main_buffer));

  // A handle that is not one of this sound's instances sets nothing.
  ASSERT_NE(0, sound_from_memory(1, image.data()));
  IDirectSoundBuffer* unrelated = nullptr;
  intptr_t foreign[] = {sound_play(1, SOUND_INSTANCE), reinterpret_cast<intptr_t>(&unrelated), 12345};
  for (intptr_t handle : foreign) EXPECT_EQ(0, sound_set_volume(0, 100, handle)) << "handle " << handle;
  EXPECT_EQ(-2000, volume_of(instance_buffer(first)));
  EXPECT_EQ(-603, volume_of(instance_buffer(second)));
  EXPECT_EQ(-603, volume_of(main_buffer));

  EXPECT_EQ(1, sound_play(0, 0, 90));
  EXPECT_EQ(-92, volume_of(main_buffer)) << "a volume given to the play";
  sound_stop(-1);
}

TEST_F(SoundTest, StopOfEveryNumberRewindsMainBuffersOnly) {
  std::vector<uint8_t> image = square_image(10 * kSecond);
  intptr_t dynamic = sound_from_memory(OBJECT_ANY, image.data());
  ASSERT_NE(0, dynamic);
  // A dynamic number names the sound's record, whose first field is its buffer.
  IDirectSoundBuffer* buffers[] = {as_buffer(sound_from_memory(0, image.data())),
                                   as_buffer(sound_from_memory(1, image.data())),
                                   *reinterpret_cast<IDirectSoundBuffer**>(dynamic)};
  for (IDirectSoundBuffer* buffer : buffers) ASSERT_NE(nullptr, buffer);
  EXPECT_EQ(1, sound_play(0));
  EXPECT_EQ(1, sound_play(1, SOUND_LOOP));
  EXPECT_EQ(1, sound_play(dynamic));
  intptr_t instance = sound_play(1, SOUND_INSTANCE);
  ASSERT_NE(0, instance);
  Sleep(200);

  sound_stop(-1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(0u, status_of(buffers[i]) & DSBSTATUS_PLAYING) << "sound " << i;
    EXPECT_EQ(0u, play_position(buffers[i])) << "sound " << i;
  }
  EXPECT_EQ(DSBSTATUS_PLAYING, status_of(instance_buffer(instance)) & DSBSTATUS_PLAYING) << "instances play on";

  sound_stop(1, instance);
  EXPECT_EQ(0u, status_of(instance_buffer(instance)) & DSBSTATUS_PLAYING);
  EXPECT_EQ(0u, play_position(instance_buffer(instance)));
}

TEST_F(SoundTest, LoopingSoundPlaysOnUntilStopped) {
  std::vector<uint8_t> image = square_image(kSecond / 20);
  IDirectSoundBuffer* buffer = as_buffer(sound_from_memory(0, image.data()));
  ASSERT_NE(nullptr, buffer);
  ASSERT_EQ(1, sound_play(0, SOUND_LOOP));
  Sleep(500);  // ten times the sound's length
  EXPECT_EQ(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING, status_of(buffer) & (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
  ASSERT_EQ(1, sound_play(0)) << "playing without the loop flag plays once";
  EXPECT_EQ(0u, status_of(buffer) & DSBSTATUS_LOOPING);
  EXPECT_TRUE(wait_until_stopped(buffer, 5000));
}

TEST_F(SoundTest, NumbersWithoutASoundDoNothing) {
  std::vector<uint8_t> image = square_image(kSecond / 10);
  ASSERT_NE(0, sound_from_memory(0, image.data()));
  intptr_t dynamic = sound_from_memory(OBJECT_ANY, image.data());
  ASSERT_NE(0, dynamic);
  ASSERT_EQ(1, sound_free(dynamic));
  ASSERT_EQ(1, sound_free(0));

  const intptr_t numbers[] = {0, 7, 1000, -2, dynamic};
  for (intptr_t number : numbers) {
    EXPECT_EQ(0, sound_play(number)) << "number " << number;
    EXPECT_EQ(0, sound_play(number, SOUND_INSTANCE)) << "number " << number;
    EXPECT_EQ(0, sound_set_volume(number, 50, SOUND_EVERY_BUFFER)) << "number " << number;
    sound_stop(number, SOUND_EVERY_BUFFER);
    EXPECT_EQ(0, sound_free(number)) << "number " << number;
  }
  sound_stop(-1);  // with no sound left
}

}  // namespace
