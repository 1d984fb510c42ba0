// The sound device: DirectSound, loaded at run time, and the hidden window it needs.
#include "runtime/core/libraries.h"
#include "runtime/core/runtime.h"
#include "runtime/core/system_library.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/sound_library.h"

namespace {

constexpr int32_t kSoundSlots = 64;  // first slot count and growth step of the sound table
constexpr const char* kWindowClass = "MultimediaBase Class";

using direct_sound_create_function = HRESULT(WINAPI*)(const GUID* device, IDirectSound** result, IUnknown* outer);

sound_library_record* state;

void free_sound(intptr_t number) { sound_free(number); }

// The multimedia window exists only for the device's cooperative level; it is never
// shown and must survive the platform's close request.
LRESULT CALLBACK multimedia_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 1;
    }
    case WM_ERASEBKGND: return 1;
    case WM_ACTIVATE:
    case WM_CLOSE:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: return 0;
    default: return DefWindowProcA(window, message, wparam, lparam);
  }
}

void make_multimedia_window(sound_library_record* library) {
  if (library->window_made) return;
  WNDCLASSEXA window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.style = CS_DBLCLKS;
  window_class.lpfnWndProc = multimedia_window_procedure;
  window_class.hInstance = program_module();
  window_class.hIcon = LoadIconA(program_module(), MAKEINTRESOURCEA(1));
  window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  window_class.lpszClassName = kWindowClass;
  if (!RegisterClassExA(&window_class)) return;
  library->window = CreateWindowExA(0, kWindowClass, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, program_module(),
                                    nullptr);
  if (library->window)
    library->window_made = 1;
  else
    UnregisterClassA(kWindowClass, program_module());
}

// Creates the device, its cooperative level and the primary buffer; on any refusal
// nothing is kept, so that the library never holds a half-made device.
bool open_device(sound_library_record* library) {
  if (!library->module) library->module = system_library_load("DSOUND.DLL");
  if (!library->module) return false;
  auto create = reinterpret_cast<direct_sound_create_function>(
      reinterpret_cast<void*>(GetProcAddress(library->module, "DirectSoundCreate")));
  if (!create) return false;

  IDirectSound* device = nullptr;
  HRESULT result = create(nullptr, &device, nullptr);
  if (result != DS_OK) {
    if (SUCCEEDED(result) && device) device->Release();
    return false;
  }
  if (device->SetCooperativeLevel(library->window, DSSCL_PRIORITY) != DS_OK) {
    device->Release();
    return false;
  }
  // The primary buffer's format is left as the device chose it; it is never used.
  DSBUFFERDESC description{};
  description.dwSize = sizeof(description);
  description.dwFlags = DSBCAPS_PRIMARYBUFFER;
  IDirectSoundBuffer* primary = nullptr;
  result = device->CreateSoundBuffer(&description, &primary, nullptr);
  if (result != DS_OK) {
    if (SUCCEEDED(result) && primary) primary->Release();
    device->Release();
    return false;
  }
  library->device = device;
  library->primary = primary;
  return true;
}

}  // namespace

sound_library_record* sound_library() { return state; }

sound_record* sound_lookup(intptr_t number) {
  if (!state || !state->sounds) return nullptr;
  return static_cast<sound_record*>(registry_lookup(state->sounds, number));
}

intptr_t sound_init() {
  if (!state) state = static_cast<sound_library_record*>(library_state_new(sizeof(sound_library_record), nullptr));
  if (!state) return 0;
  // A second start makes a new table; the sounds of the old one would otherwise stay
  // alive (a looping one audible) with no number left to stop or free them.
  if (state->sounds) registry_free_all(state->sounds);
  state->sounds = registry_new(sizeof(sound_record), kSoundSlots, free_sound);
  if (!state->sounds) return 0;
  sound_volume_table_fill(state->volume_table);

  make_multimedia_window(state);
  if (!state->window_made) return 0;
  if (state->device) return reinterpret_cast<intptr_t>(state->sounds);
  if (!open_device(state)) return 0;
  return reinterpret_cast<intptr_t>(state->sounds);
}

void sound_end() {
  if (!state) return;
  if (state->sounds) registry_free_all(state->sounds);
  // The buffers and the device go before the module whose code they run.
  if (state->primary) state->primary->Release();
  if (state->device) state->device->Release();
  if (state->window_made) {
    DestroyWindow(state->window);
    UnregisterClassA(kWindowClass, program_module());
  }
  if (state->module) FreeLibrary(state->module);
  main_heap_free(state);
  state = nullptr;
}
