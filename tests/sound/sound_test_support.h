// What the sound tests under Wine share: a started runtime with the sound device, the
// buffers behind numbers and instance handles, and bounded waits.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <mmreg.h>
#include <dsound.h>

#include <cstdint>
#include <vector>

#include "runtime/core/registry.h"
#include "runtime/sound/sound.h"
#include "tests/test_runtime.h"
#include "tests/test_time.h"
#include "tests/sound/wav_images.h"

namespace sound_test {

// The buffer behind an instance handle or a dynamic number: each is the address of a
// record whose first field is the buffer.
inline IDirectSoundBuffer* buffer_behind(intptr_t handle) { return *reinterpret_cast<IDirectSoundBuffer**>(handle); }

inline IDirectSoundBuffer* as_buffer(intptr_t result) { return reinterpret_cast<IDirectSoundBuffer*>(result); }

inline DWORD status_of(IDirectSoundBuffer* buffer) {
  DWORD status = 0xdeadbeef;
  HRESULT result = buffer->GetStatus(&status);
  EXPECT_EQ(DS_OK, result);
  return status;
}

inline LONG volume_of(IDirectSoundBuffer* buffer) {
  LONG volume = 1;
  EXPECT_EQ(DS_OK, buffer->GetVolume(&volume));
  return volume;
}

inline DWORD play_position(IDirectSoundBuffer* buffer) {
  DWORD play = 0xdeadbeef, write = 0;
  EXPECT_EQ(DS_OK, buffer->GetCurrentPosition(&play, &write));
  return play;
}

// Waits, up to a deadline (scaled by the run's time factor), until the buffer has stopped playing.
inline bool wait_until_stopped(IDirectSoundBuffer* buffer, int deadline_ms) {
  return test_time::wait_until([&] { return !(status_of(buffer) & DSBSTATUS_PLAYING); }, deadline_ms);
}

// A mono 22050 Hz 16-bit square wave of the given length, as a complete WAV image.
inline std::vector<uint8_t> square_image(size_t samples) {
  return wav_test::riff_image({{"fmt ", wav_test::pcm_format(1, 22050, 16)}, {"data", wav_test::square_wave(samples)}});
}

// Each test starts the runtime and the sound device and ends them again.
class SoundTest : public test_runtime::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    table_ = sound_init();
    ASSERT_NE(0, table_) << "the test's ALSA device should open";
  }
  intptr_t table_ = 0;
};

}  // namespace sound_test
