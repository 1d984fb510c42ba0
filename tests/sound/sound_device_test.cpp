#include <algorithm>
#include <cstring>

#include "app/assets.h"
#include "runtime/gadget/gadget.h"
#include "runtime/window/window.h"
#include "tests/sound/sound_test_support.h"

namespace {

using namespace sound_test;

HWND multimedia_window() { return FindWindowA("MultimediaBase Class", nullptr); }

// A reference of the test's own on a buffer; giving it back tells whether the library
// still holds one (a count above 0) or has released the buffer.
ULONG extra_reference_left(IDirectSoundBuffer* buffer) { return buffer->Release(); }

TEST_F(SoundTest, InitMakesAHiddenWindowThatSurvivesACloseRequest) {
  HWND window = multimedia_window();
  ASSERT_NE(nullptr, window);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(WS_POPUP, GetWindowLongPtrA(window, GWL_STYLE) & (WS_POPUP | WS_VISIBLE | WS_CHILD));
  EXPECT_EQ(CS_DBLCLKS, GetClassLongPtrA(window, GCL_STYLE));
  EXPECT_EQ(GetCurrentThreadId(), GetWindowThreadProcessId(window, nullptr)) << "the main thread dispatches it";
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(1, client.right - client.left);
  EXPECT_EQ(1, client.bottom - client.top);

  EXPECT_EQ(0, SendMessageA(window, WM_CLOSE, 0, 0));
  EXPECT_TRUE(IsWindow(window)) << "a close request must not end the window";
  EXPECT_FALSE(IsWindowVisible(window));
}

std::vector<HWND> destroyed;

LRESULT CALLBACK note_destroyed(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_DESTROYWND) destroyed.push_back(reinterpret_cast<HWND>(wparam));
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

// The runtime's end takes its libraries down in their order: the sound device first, then
// the gadget library's own window, then the program's windows.
TEST(RuntimeEnd, EndsTheSoundDeviceThenTheGadgetsThenTheWindows) {
  runtime_start();
  ASSERT_NE(0, sound_init());
  ASSERT_NE(0, window_open(0, 0, 0, 200, 100, "end", WINDOW_INVISIBLE));
  HWND windows[] = {multimedia_window(),
                    CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
                    window_handle(0)};
  gadget_state()->aux_window = windows[1];
  HHOOK hook = SetWindowsHookExA(WH_CBT, note_destroyed, nullptr, GetCurrentThreadId());
  ASSERT_NE(nullptr, hook);
  destroyed.clear();
  runtime_end_libraries();
  UnhookWindowsHookEx(hook);
  std::vector<size_t> order;
  for (HWND w : windows) order.push_back(std::find(destroyed.begin(), destroyed.end(), w) - destroyed.begin());
  EXPECT_LT(order[0], order[1]) << "the sound device's window before the gadgets'";
  EXPECT_LT(order[1], order[2]) << "the gadgets' window before window 0";
  EXPECT_LT(order[2], destroyed.size()) << "window 0 went";
}

// NOTE: a buffer cannot be watched past the end: the end lets go of the device and of
// the sound module, and the device takes any buffer still referenced down with it. That
// every sound is freed is watched where the device lives on, at a second start.
TEST_F(SoundTest, SecondInitFreesTheSoundsOfTheOldTableAndEndLetsGoOfEverything) {
  std::vector<uint8_t> click = wav_test::click_image();
  intptr_t dynamic = sound_from_memory(OBJECT_ANY, click.data());
  ASSERT_NE(0, dynamic);
  IDirectSoundBuffer* buffers[] = {as_buffer(sound_from_memory(3, click.data())),
                                   as_buffer(sound_from_memory(70, click.data())), buffer_behind(dynamic), nullptr};
  ASSERT_EQ(1, sound_play(3, SOUND_LOOP));
  intptr_t instance = sound_play(3, SOUND_INSTANCE | SOUND_LOOP);
  ASSERT_NE(0, instance);
  buffers[3] = buffer_behind(instance);
  for (IDirectSoundBuffer* buffer : buffers) {
    ASSERT_NE(nullptr, buffer);
    buffer->AddRef();
  }
  HWND window = multimedia_window();

  intptr_t second = sound_init();
  EXPECT_NE(0, second);
  EXPECT_NE(table_, second);
  const char* names[] = {"sound 3", "sound 70", "the dynamic sound", "the instance of sound 3"};
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(0u, extra_reference_left(buffers[i])) << names[i] << ": nothing could stop or free it any more";
  EXPECT_EQ(0, sound_play(3));
  EXPECT_EQ(window, multimedia_window()) << "the window is made once";
  EXPECT_NE(0, sound_from_memory(3, click.data())) << "the device is kept";

  ASSERT_EQ(1, sound_play(sound_from_memory(OBJECT_ANY, click.data()), SOUND_LOOP));
  ASSERT_NE(0, sound_play(3, SOUND_INSTANCE | SOUND_LOOP));
  sound_end();
  EXPECT_EQ(nullptr, multimedia_window());
  EXPECT_EQ(0, sound_play(3)) << "no sound outlives the end";
  sound_end();  // a second end finds nothing to do
  // The device can be started again within the same process, with a table of its own.
  EXPECT_NE(0, sound_init());
  EXPECT_NE(nullptr, multimedia_window());
  EXPECT_EQ(0, sound_play(3));
  EXPECT_NE(0, sound_from_memory(3, click.data()));
}

TEST_F(SoundTest, CarriedLayoutsBecomeBuffersOfTheirSamples) {
  const struct {
    const char* name;
    const uint8_t* file;
    DWORD bytes;
  } cases[] = {{"the program's click", dice_click_sound, 1360}, {"the program's roll", dice_roll_sound, 34540}};
  intptr_t number = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    IDirectSoundBuffer* buffer = as_buffer(sound_from_memory(number++, c.file));
    ASSERT_NE(nullptr, buffer);
    DSBCAPS caps{};
    caps.dwSize = sizeof(caps);
    ASSERT_EQ(DS_OK, buffer->GetCaps(&caps));
    EXPECT_EQ(c.bytes, caps.dwBufferBytes);
    const DWORD controls = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS |
                           DSBCAPS_GETCURRENTPOSITION2;
    EXPECT_EQ(controls, caps.dwFlags & controls) << "flags 0x" << std::hex << caps.dwFlags;

    WAVEFORMATEX format{};
    ASSERT_EQ(DS_OK, buffer->GetFormat(&format, sizeof(format), nullptr));
    const auto* held = reinterpret_cast<const uint8_t*>(&format);
    EXPECT_EQ(std::vector<uint8_t>(c.file + 20, c.file + 36), std::vector<uint8_t>(held, held + 16))
        << "the file's PCM format record";
    DWORD frequency = 0;
    ASSERT_EQ(DS_OK, buffer->GetFrequency(&frequency));
    EXPECT_EQ(format.nSamplesPerSec, frequency);

    void* part = nullptr;
    DWORD part_bytes = 0;
    ASSERT_EQ(DS_OK, buffer->Lock(0, c.bytes, &part, &part_bytes, nullptr, nullptr, 0));
    EXPECT_EQ(c.bytes, part_bytes);
    EXPECT_EQ(0, std::memcmp(part, c.file + 44, c.bytes)) << "the samples are copied whole";
    buffer->Unlock(part, part_bytes, nullptr, 0);
  }
}

// A 16-byte format chunk has no extra-size field: the next chunk's ID lies where it would
// be ("da" of "data", 24932). Read in place, a device would take that many extra bytes of
// a format other than PCM from beyond the chunk.
TEST_F(SoundTest, FormatChunkWithoutExtraSizeReachesTheDeviceWithoutExtraBytes) {
  std::vector<uint8_t> format = wav_test::pcm_format(1, 22050, 32);
  format[0] = 3;  // 32-bit float samples
  std::vector<uint8_t> image = wav_test::riff_image({{"fmt ", format}, {"data", std::vector<uint8_t>(4000)}});
  IDirectSoundBuffer* buffer = as_buffer(sound_from_memory(0, image.data()));
  ASSERT_NE(nullptr, buffer);
  DWORD written = 0xdeadbeef;
  ASSERT_EQ(DS_OK, buffer->GetFormat(nullptr, 0, &written));
  EXPECT_EQ(sizeof(WAVEFORMATEX), written);
  WAVEFORMATEX held{};
  ASSERT_EQ(DS_OK, buffer->GetFormat(&held, sizeof(held), nullptr));
  EXPECT_EQ(3, held.wFormatTag);
  EXPECT_EQ(32, held.wBitsPerSample);
  EXPECT_EQ(0, held.cbSize);
}

TEST_F(SoundTest, FailedLoadKeepsTheSoundOfThatNumber) {
  std::vector<uint8_t> click = wav_test::click_image();
  IDirectSoundBuffer* first = as_buffer(sound_from_memory(0, click.data()));
  ASSERT_NE(nullptr, first);
  first->AddRef();
  IDirectSoundBuffer* second = as_buffer(sound_from_memory(0, wav_test::roll_image().data()));
  ASSERT_NE(nullptr, second);
  EXPECT_NE(first, second);
  EXPECT_EQ(0u, extra_reference_left(first)) << "loading a number again frees its old sound";

  std::vector<uint8_t> short_riff = click;
  wav_test::set_u32(short_riff, 4, 1395);  // the data chunk's last byte lies outside
  std::vector<uint8_t> long_data = click;
  wav_test::set_u32(long_data, 40, 0x7FFFFFFF);
  std::vector<uint8_t> no_channels = click;
  no_channels[22] = 0;
  std::vector<uint8_t> no_samples = wav_test::riff_image({{"fmt ", wav_test::pcm_format(1, 22050, 16)}, {"data", {}}});
  const struct {
    const char* name;
    const void* data;
  } cases[] = {
      {"no data", nullptr},
      {"RIFF size short of the samples", short_riff.data()},
      {"data size beyond the image", long_data.data()},
      {"no channels, refused by the device", no_channels.data()},
      {"no samples, refused by the device", no_samples.data()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(0, sound_from_memory(0, c.data));
    // Number 0 is still the second sound: its volume follows sound_set_volume.
    EXPECT_EQ(1, sound_set_volume(0, 50));
    EXPECT_EQ(-603, volume_of(second));
    EXPECT_EQ(1, sound_set_volume(0, 100));
    EXPECT_EQ(0, volume_of(second));
  }
  EXPECT_EQ(0, sound_from_memory(-5, click.data())) << "a negative number other than OBJECT_ANY";
}

}  // namespace
