#include "app/dice_app.h"

#include "app/assets.h"
#include "app/dice_tally.h"
#include "app/sound_cues.h"
#include "runtime/core/platform.h"
#include "runtime/core/random.h"
#include "runtime/core/runtime.h"
#include "runtime/core/strbuf.h"
#include "runtime/gadget/gadget.h"
#include "runtime/image/image.h"
#include "runtime/requester/requester.h"
#include "runtime/window/events.h"
#include "runtime/window/window.h"

namespace {

constexpr intptr_t MAIN_WINDOW = 0;
constexpr intptr_t GADGET_START = 1, GADGET_END = 2, GADGET_HOME_PAGE = 3, GADGET_DIE = 4;
constexpr intptr_t START_PICTURE = 0;  // images 1 to 6 are the faces of those numbers
// Caption, system menu and minimise box, centred on the screen.
constexpr uint32_t MAIN_WINDOW_FLAGS = 0xCA0001;
constexpr int32_t FRAME_MS = 100;
constexpr int32_t WAKE_MS = 1000;

void clear_counters() {
  dice_tally_record& t = dice_tally;
  t.last_throw = 0;
  t.total_pips = 0;
  // The throw count goes with the face counts, so that the tally's sums hold from the start.
  t.throws = 0;
  for (int k = 0; k < 7; ++k) {
    t.face_count[k] = 0;
    t.face_share[k] = 0.0f;
    t.face_pips[k] = 0;
  }
}

int32_t draw_face() {
  uint32_t r = dice_tally.random_source == 1 ? crypto_random_int(5) : random_int(5);
  // A draw that the opened source could not make is no throw of face 1: the generator
  // draws this one instead, so a failing source cannot lean the statistics.
  if (dice_tally.random_source == 1 && crypto_random_failed()) r = random_int(5);
  return static_cast<int32_t>(r) + 1;
}

void throw_die() {
  dice_throw_cue();
  // A quick run through the six faces; each one is on screen when gadget_set_state
  // returns, and no event is taken meanwhile.
  for (int32_t frame = 1; frame <= 6; ++frame) {
    gadget_set_state(GADGET_DIE, reinterpret_cast<intptr_t>(image_handle(frame)));
    delay_ms(FRAME_MS);
  }
  dice_tally.last_throw = draw_face();
  gadget_set_state(GADGET_DIE, reinterpret_cast<intptr_t>(image_handle(dice_tally.last_throw)));
  // Only the thrown face is named: a screen reader announces the result, not the run.
  gadget_set_name(GADGET_DIE, dice_face_name(dice_tally.last_throw));
  dice_record_throw(dice_tally.last_throw);
}

void create_gadgets() {
  gadget_image(GADGET_DIE, 10, 10, 300, 300, image_handle(START_PICTURE));
  gadget_set_name(GADGET_DIE, dice_face_name(START_PICTURE));
  gadget_button(GADGET_START, 10, 320, 50, 30, "START", 1);
  gadget_button(GADGET_END, 70, 320, 50, 30, "ENDE", 0);
  gadget_button(GADGET_HOME_PAGE, 160, 320, 150, 30, "Brisgauer-Homepage", 0);
}

void show_statistics() {
  int32_t p = strbuf_position();
  if (!dice_report_text()) return;
  requester_message(DICE_REPORT_TITLE, strbuf_argument(p), 0);
  strbuf_argument_done(p);
  dice_closing_click();
}

}  // namespace

void dice_main() {
  clear_counters();
  // Start-up keeps the order of everything that can be seen from outside: the sound
  // system (its hidden window and the device) before the main window, and that window
  // painted with its gadgets and the start picture. What only a throw or a press needs,
  // the random source, the faces and the two sounds, is made right after the first paint
  // and before the first wait, so no event can find it missing.
  image_from_memory(START_PICTURE, dice_picture(START_PICTURE));
  dice_sound_start();

  // Without its window the program could never receive the close event that ends the
  // loop; it ends at once instead.
  intptr_t window = window_open(MAIN_WINDOW, 100, 100, 320, 360, "Tessarix V1.1", MAIN_WINDOW_FLAGS);
  if (!window) runtime_end();
  create_gadgets();
  // The first paint now, not at the first wait: the window and its gadgets draw before
  // the work below.
  RedrawWindow(reinterpret_cast<HWND>(window), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);

  dice_tally.random_source = crypto_random_open() ? 1 : 2;
  for (int32_t i = 1; i <= 6; ++i) image_from_memory(i, dice_picture(i));
  dice_sound_load();

  int32_t event;
  do {
    event = window_wait_event(WAKE_MS);
    if (event == EVENT_GADGET) {
      switch (event_gadget()) {
        case GADGET_START: throw_die(); break;
        case GADGET_END:
          event = EVENT_CLOSE_WINDOW;
          dice_closing_click();
          break;
        case GADGET_HOME_PAGE: dice_open_home_page(); break;
        default: break;
      }
    }
    // Re-applied after every wait, whatever it returned; the window library makes no
    // platform call while nothing would change.
    window_resize(MAIN_WINDOW, IGNORE, IGNORE, IGNORE, IGNORE);
    window_set_erase_around_gadgets(MAIN_WINDOW, 1);
  } while (event != EVENT_CLOSE_WINDOW);

  show_statistics();
}
