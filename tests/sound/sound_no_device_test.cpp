// The program on a system without a sound device (or without the sound module): the
// sound library reports that it cannot start, and everything else is a quiet no-op.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>

#include "app/dice_tally.h"
#include "app/sound_cues.h"
#include "runtime/core/registry.h"
#include "runtime/sound/sound.h"
#include "tests/sound/wav_images.h"
#include "tests/test_runtime.h"

namespace {

void expect_every_call_does_nothing(const char* when) {
  SCOPED_TRACE(when);
  std::vector<uint8_t> click = wav_test::click_image();
  EXPECT_EQ(0, sound_from_memory(0, click.data()));
  EXPECT_EQ(0, sound_from_memory(OBJECT_ANY, click.data()));
  EXPECT_EQ(0, sound_play(0));
  EXPECT_EQ(0, sound_play(0, SOUND_INSTANCE | SOUND_LOOP, 50));
  EXPECT_EQ(0, sound_set_volume(0, 50, SOUND_EVERY_BUFFER));
  sound_stop(0, SOUND_EVERY_BUFFER);
  sound_stop(-1);
  EXPECT_EQ(0, sound_free(0));
}

using SoundWithoutDevice = test_runtime::RuntimeTest;

TEST_F(SoundWithoutDevice, CallsBeforeInitDoNothing) {
  expect_every_call_does_nothing("before sound_init");
  sound_end();
}

TEST_F(SoundWithoutDevice, InitReportsFailureAndTheProgramRunsOnSilently) {
  EXPECT_EQ(0, sound_init());
  expect_every_call_does_nothing("after a failed sound_init");
  EXPECT_EQ(0, sound_init()) << "asking again changes nothing";

  sound_end();
  EXPECT_EQ(nullptr, FindWindowA("MultimediaBase Class", nullptr));
  expect_every_call_does_nothing("after sound_end");
}

// The program's cues on the same system: nothing is heard, yet each cue keeps the pause
// its click would have had, so a silent throw takes as long as one with sound.
TEST_F(SoundWithoutDevice, CuesKeepTheirPauses) {
  dice_tally.sound_ok = 0;
  dice_sound_start();
  dice_sound_load();
  EXPECT_NE(1, dice_tally.sound_ok);

  struct cue {
    const char* name;
    void (*run)();
  };
  const cue cues[] = {{"throw cue", dice_throw_cue}, {"closing click", dice_closing_click}};
  for (const cue& c : cues) {
    const auto before = std::chrono::steady_clock::now();
    c.run();
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count();
    // A sleep never ends early by more than the tick's rounding.
    EXPECT_GE(ms, 90.0) << c.name << " took " << ms << " ms, expected about 100";
  }

  sound_end();
}

}  // namespace
