#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/assets.h"
#include "tests/audio_sink.h"
#include "tests/sound/sound_test_support.h"
#include "tests/wine_paths.h"

namespace {

using namespace sound_test;

constexpr size_t kSecond = 22050;  // samples of the test sounds

// The test's ALSA device writes every frame it is given to this file (the Unix path
// comes in TESSARIX_AUDIO_SINK).
std::string sink_path() { return wine_paths::windows_path(wine_paths::setting("TESSARIX_AUDIO_SINK")); }

size_t sink_size() { return wine_paths::file_size(sink_path()); }

// The runs of sound that reached the sink since from, once it has caught up.
std::vector<audio_sink::sound_run> runs_since(size_t from, int gap_ms) {
  EXPECT_TRUE(audio_sink::caught_up(sink_path()));
  return audio_sink::runs(audio_sink::without_missed_periods(audio_sink::read(sink_path(), from)), gap_ms);
}

// Plays number 0 once; what reached the sink meanwhile, as one run.
audio_sink::sound_run play_and_listen(IDirectSoundBuffer* buffer) {
  size_t from = sink_size();
  EXPECT_EQ(1, sound_play(0));
  EXPECT_TRUE(wait_until_stopped(buffer, 5000));
  std::vector<audio_sink::sound_run> runs = runs_since(from, 1 << 20);
  return runs.empty() ? audio_sink::sound_run{} : runs[0];
}

double heard_ms(const audio_sink::sound_run& run) {
  return static_cast<double>(run.heard.size()) * audio_sink::kMsPerFrame;
}

// The share of what was heard (the exact zeros of the mixer's gaps left out) that lies near a level.
double share_near(const audio_sink::sound_run& run, double level) {
  size_t close = 0;
  for (double x : run.heard) close += std::fabs(std::fabs(x) - level) < 0.3 * level;
  return run.heard.empty() ? 0 : static_cast<double>(close) / static_cast<double>(run.heard.size());
}

TEST_F(SoundTest, PlayedSamplesReachTheSink) {
  std::vector<uint8_t> image = square_image(kSecond / 4);
  IDirectSoundBuffer* buffer = as_buffer(sound_from_memory(0, image.data()));
  ASSERT_NE(nullptr, buffer);
  // The device writes its first frames a little after it opens.
  ASSERT_TRUE(audio_sink::caught_up(sink_path(), 1)) << "nothing reaches " << sink_path();

  EXPECT_TRUE(runs_since(sink_size(), 20).empty()) << "nothing plays yet";

  // A quarter second, played once: what sounded is most of it and no more.
  audio_sink::sound_run full = play_and_listen(buffer);
  EXPECT_GT(heard_ms(full), 200) << full.gap_ms << " of " << full.length_ms << " ms in mixer gaps";
  EXPECT_LT(heard_ms(full), 300);
  EXPECT_GT(share_near(full, 0.5), 0.8) << "the square wave at half of full scale";

  // Volume 50 is -6.03 dB: the same wave at a quarter of full scale.
  ASSERT_EQ(1, sound_set_volume(0, 50));
  audio_sink::sound_run half = play_and_listen(buffer);
  EXPECT_GT(heard_ms(half), 200) << half.gap_ms << " of " << half.length_ms << " ms in mixer gaps";
  EXPECT_GT(share_near(half, 0.25), 0.8);
  EXPECT_LT(share_near(half, 0.5), 0.1);
}

std::string peaks(const std::vector<audio_sink::sound_run>& runs) {
  std::string text;
  for (const audio_sink::sound_run& r : runs) text += std::to_string(static_cast<int>(r.peak * 1000)) + " ";
  return text;
}

// The program's rolling die, a train of ticks, played again while it still plays, as a
// quick second "START" would: the sink hears the ticks played so far and then every tick
// of the roll from its first. A roll not restarted would sound once; one restarted
// elsewhere would not repeat its first ticks.
TEST_F(SoundTest, RollPlayedAgainWhilePlayingStartsAgainAtItsBeginningInTheSink) {
  IDirectSoundBuffer* buffer = as_buffer(sound_from_memory(1, dice_roll_sound));
  ASSERT_NE(nullptr, buffer);
  ASSERT_TRUE(audio_sink::caught_up(sink_path(), 1)) << "nothing reaches " << sink_path();
  constexpr double kBytesPerMs = 64;  // of the roll's data

  size_t from = sink_size();
  ASSERT_EQ(1, sound_play(1));
  ASSERT_TRUE(wait_until_stopped(buffer, 5000));
  const std::vector<audio_sink::sound_run> once = runs_since(from, 20);
  ASSERT_GE(once.size(), 4u) << "the roll's ticks: " << peaks(once);

  from = sink_size();
  ASSERT_EQ(1, sound_play(1));
  test_time::wait_until([&] { return play_position(buffer) >= 200 * kBytesPerMs; }, 2000, 1);
  ASSERT_EQ(DSBSTATUS_PLAYING, status_of(buffer) & DSBSTATUS_PLAYING) << "still playing when pressed again";
  const double played_ms = play_position(buffer) / kBytesPerMs;
  ASSERT_EQ(1, sound_play(1));
  EXPECT_LT(play_position(buffer) / kBytesPerMs, played_ms / 2) << "played again from its start";
  EXPECT_EQ(DSBSTATUS_PLAYING, status_of(buffer) & (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING)) << "once, not looping";
  ASSERT_TRUE(wait_until_stopped(buffer, 5000));
  const std::vector<audio_sink::sound_run> again = runs_since(from, 20);
  auto same_tick = [](const audio_sink::sound_run& a, const audio_sink::sound_run& b) {
    return std::fabs(a.peak - b.peak) < 0.05 * b.peak + 0.002;
  };
  // The restart: the first place after a tick from where the roll's four loud first ticks
  // come again, each after its long silence. NOTE: under emulation the mixer also misses
  // periods in the roll's quiet tail, where no level tells them from the roll's own
  // silences, and a soft tick can then be heard in two; so the tail is judged by its end.
  constexpr size_t kHead = 4;
  size_t restart = 0;
  for (size_t r = 1; !restart && r + kHead <= again.size(); ++r) {
    bool head = true;
    for (size_t i = 0; i < kHead; ++i) head = head && same_tick(again[r + i], once[i]);
    if (head) restart = r;
  }
  ASSERT_NE(0u, restart) << "the roll's first ticks again after a tick; once " << peaks(once) << "; again "
                         << peaks(again);
  EXPECT_TRUE(same_tick(again.back(), once.back()))
      << "played to its last tick; once " << peaks(once) << "; again " << peaks(again);
  for (size_t i = 0; i + 1 < restart; ++i)
    EXPECT_TRUE(same_tick(again[i], once[i]))
        << "tick " << i << " before the restart; once " << peaks(once) << "; again " << peaks(again);
  // NOTE: Wine's mixer reads ahead of what reaches the device; the play position and the
  // sink differ by a few of its periods, more on a busy machine.
  EXPECT_NEAR(played_ms, again[restart].start_ms - again[0].start_ms, test_time::scaled_ms(120))
      << "the roll started again where the play position was";
}

// Instances overlap, start at the volume the sound had when it was loaded, are reaped by
// the next instance play once they have ended, and while they play go only with their sound.
TEST_F(SoundTest, InstancesOverlapAndAreReapedOnceEndedOrWithTheirSound) {
  std::vector<uint8_t> image = square_image(2 * kSecond);
  IDirectSoundBuffer* main_buffer = as_buffer(sound_from_memory(0, image.data()));
  ASSERT_NE(nullptr, main_buffer);
  ASSERT_EQ(1, sound_set_volume(0, 50));
  const intptr_t looping = sound_play(0, SOUND_INSTANCE | SOUND_LOOP);
  ASSERT_NE(0, looping);
  IDirectSoundBuffer* ended[3];
  for (IDirectSoundBuffer*& buffer : ended) {
    const intptr_t handle = sound_play(0, SOUND_INSTANCE);
    ASSERT_NE(0, handle);
    buffer = buffer_behind(handle);
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_NE(main_buffer, ended[i]);
    EXPECT_EQ(DSBSTATUS_PLAYING, status_of(ended[i]) & DSBSTATUS_PLAYING) << "instance " << i << " overlaps the others";
    EXPECT_EQ(0, volume_of(ended[i])) << "instance " << i;
    DWORD frequency = 0;
    ended[i]->GetFrequency(&frequency);
    EXPECT_EQ(22050u, frequency) << "instance " << i;
  }
  EXPECT_EQ(0u, status_of(main_buffer) & DSBSTATUS_PLAYING) << "instances leave the main buffer alone";
  EXPECT_EQ(DSBSTATUS_LOOPING, status_of(buffer_behind(looping)) & DSBSTATUS_LOOPING);

  // The test takes a reference of its own on each buffer; giving it back tells whether the
  // library still holds one (a count above 0).
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(wait_until_stopped(ended[i], 10000)) << "instance " << i;
    ended[i]->AddRef();
  }
  const intptr_t next = sound_play(0, SOUND_INSTANCE, 50);
  ASSERT_NE(0, next);
  IDirectSoundBuffer* playing[] = {buffer_behind(looping), buffer_behind(next)};
  for (IDirectSoundBuffer* buffer : playing) buffer->AddRef();
  ASSERT_NE(0, sound_play(0, SOUND_INSTANCE)) << "a second reap, the two still playing";
  for (int i = 0; i < 3; ++i) EXPECT_EQ(0u, ended[i]->Release()) << "ended instance " << i << " is reaped";
  EXPECT_EQ(-603, volume_of(playing[1])) << "a volume given to the play";
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(3u, playing[i]->AddRef()) << "playing instance " << i << ": the library's, the test's and this one";
    playing[i]->Release();
  }
  EXPECT_EQ(1, sound_free(0));
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(0u, playing[i]->Release()) << "playing instance " << i << " goes with its sound";
  EXPECT_EQ(0, sound_play(0, SOUND_INSTANCE));
}

TEST_F(SoundTest, VolumeIsClampedAndSetOnTheSelectedBuffers) {
  std::vector<uint8_t> image = square_image(10 * kSecond);
  IDirectSoundBuffer* main_buffer = as_buffer(sound_from_memory(0, image.data()));
  ASSERT_NE(nullptr, main_buffer);

  const struct {
    int32_t volume;
    LONG attenuation;
  } cases[] = {{150, 0}, {-5, -10000}, {50, -603}, {1, -4000}};  // the table's entries less 10000
  for (const auto& c : cases) {
    EXPECT_EQ(1, sound_set_volume(0, c.volume));
    EXPECT_EQ(c.attenuation, volume_of(main_buffer)) << "volume " << c.volume;
  }

  intptr_t first = sound_play(0, SOUND_INSTANCE);
  intptr_t second = sound_play(0, SOUND_INSTANCE);
  ASSERT_NE(0, first);
  ASSERT_NE(0, second);
  // The volumes of the main buffer and of the two instances.
  auto volumes = [&] {
    return std::vector<LONG>{volume_of(main_buffer), volume_of(buffer_behind(first)), volume_of(buffer_behind(second))};
  };
  EXPECT_EQ(1, sound_set_volume(0, 50, SOUND_EVERY_BUFFER));
  EXPECT_EQ((std::vector<LONG>{-603, -603, -603}), volumes());
  EXPECT_EQ(1, sound_set_volume(0, 10, first));
  EXPECT_EQ((std::vector<LONG>{-603, -2000, -603}), volumes());

  // A handle that is not one of this sound's instances sets nothing.
  ASSERT_NE(0, sound_from_memory(1, image.data()));
  IDirectSoundBuffer* unrelated = nullptr;
  intptr_t foreign[] = {sound_play(1, SOUND_INSTANCE), reinterpret_cast<intptr_t>(&unrelated), 12345};
  for (intptr_t handle : foreign) EXPECT_EQ(0, sound_set_volume(0, 100, handle)) << "handle " << handle;
  EXPECT_EQ((std::vector<LONG>{-603, -2000, -603}), volumes());

  EXPECT_EQ(1, sound_play(0, 0, 90));
  EXPECT_EQ(-92, volume_of(main_buffer)) << "a volume given to the play";
  sound_stop(-1);
}

TEST_F(SoundTest, StopOfEveryNumberRewindsMainBuffersOnly) {
  std::vector<uint8_t> image = square_image(10 * kSecond);
  intptr_t dynamic = sound_from_memory(OBJECT_ANY, image.data());
  ASSERT_NE(0, dynamic);
  IDirectSoundBuffer* buffers[] = {as_buffer(sound_from_memory(0, image.data())),
                                   as_buffer(sound_from_memory(1, image.data())), buffer_behind(dynamic)};
  for (IDirectSoundBuffer* buffer : buffers) ASSERT_NE(nullptr, buffer);
  EXPECT_EQ(1, sound_play(0));
  EXPECT_EQ(1, sound_play(1, SOUND_LOOP));
  EXPECT_EQ(1, sound_play(dynamic));
  intptr_t instance = sound_play(1, SOUND_INSTANCE);
  ASSERT_NE(0, instance);
  ASSERT_TRUE(test_time::wait_until([&] { return play_position(buffers[0]) > 0; }, 3000)) << "playing";

  sound_stop(-1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(0u, status_of(buffers[i]) & DSBSTATUS_PLAYING) << "sound " << i;
    EXPECT_EQ(0u, play_position(buffers[i])) << "sound " << i;
  }
  EXPECT_EQ(DSBSTATUS_PLAYING, status_of(buffer_behind(instance)) & DSBSTATUS_PLAYING) << "instances play on";

  sound_stop(1, instance);
  EXPECT_EQ(0u, status_of(buffer_behind(instance)) & DSBSTATUS_PLAYING);
  EXPECT_EQ(0u, play_position(buffer_behind(instance)));
}

TEST_F(SoundTest, LoopingSoundPlaysOnUntilStopped) {
  std::vector<uint8_t> image = square_image(kSecond / 20);
  IDirectSoundBuffer* buffer = as_buffer(sound_from_memory(0, image.data()));
  ASSERT_NE(nullptr, buffer);
  ASSERT_EQ(1, sound_play(0, SOUND_LOOP));
  // Round the loop: the position comes back below where it was.
  DWORD last = 0;
  bool wrapped = false;
  test_time::wait_until(
      [&] {
        DWORD now = play_position(buffer);
        wrapped = now < last;
        last = now;
        return wrapped;
      },
      3000, 5);
  EXPECT_TRUE(wrapped) << "the play position goes round";
  EXPECT_EQ(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING, status_of(buffer) & (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
  ASSERT_EQ(1, sound_play(0)) << "playing without the loop flag plays once";
  EXPECT_EQ(0u, status_of(buffer) & DSBSTATUS_LOOPING);
  EXPECT_TRUE(wait_until_stopped(buffer, 5000));
}

// Each dynamic sound has a number of its own; numbers without a sound, freed ones among
// them, do nothing.
TEST_F(SoundTest, NumbersWithoutASoundDoNothing) {
  std::vector<uint8_t> image = square_image(kSecond / 10);
  ASSERT_NE(0, sound_from_memory(0, image.data()));
  const intptr_t freed = sound_from_memory(OBJECT_ANY, image.data()),
                 kept = sound_from_memory(OBJECT_ANY, image.data());
  ASSERT_NE(0, freed);
  ASSERT_NE(0, kept);
  EXPECT_NE(freed, kept);
  ASSERT_EQ(1, sound_free(freed));
  ASSERT_EQ(1, sound_free(0));
  EXPECT_EQ(1, sound_play(kept)) << "the other dynamic sound stays";
  EXPECT_EQ(1, sound_set_volume(kept, 50));

  const intptr_t numbers[] = {0, 7, 1000, -2, freed};
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
