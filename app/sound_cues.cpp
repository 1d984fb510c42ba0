#include "app/sound_cues.h"

#include "app/assets.h"
#include "app/dice_tally.h"
#include "runtime/core/runtime.h"
#include "runtime/requester/requester.h"
#include "runtime/sound/sound.h"

void dice_sound_start() {
  if (sound_init()) dice_tally.sound_ok = 1;
}

void dice_sound_load() {
  if (dice_tally.sound_ok != 1) return;
  // A sound that fails to decode is simply absent: playing its number does nothing.
  sound_from_memory(DICE_SOUND_CLICK, dice_click_sound);
  sound_from_memory(DICE_SOUND_ROLL, dice_roll_sound);
}

void dice_play_click() {
  if (dice_tally.sound_ok == 1) sound_play(DICE_SOUND_CLICK);
}

void dice_play_roll() {
  if (dice_tally.sound_ok == 1) sound_play(DICE_SOUND_ROLL);
}

void dice_throw_cue() {
  dice_play_click();
  // The pause keeps the click apart from the roll, with or without sound.
  delay_ms(100);
  dice_play_roll();
}

void dice_closing_click() {
  dice_play_click();
  delay_ms(100);
}

void dice_open_home_page() {
  dice_play_click();
  // Not a program: the shell opens it with the user's browser. A failure shows nothing.
  program_run(DICE_HOME_PAGE, "", "", PROGRAM_KEEP);
}
