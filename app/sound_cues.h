// The application's sounds and the home-page button, at the points of the flow where
// they act: start-up, each throw, "ENDE", the home page, and after the statistics.
#pragma once

#include <cstdint>

// The author's home page, fixed at build time (a distributor may set another one).
#ifndef TESSARIX_HOME_PAGE
#  define TESSARIX_HOME_PAGE "https://www.brisgauer.example/"
#endif
inline constexpr const char* DICE_HOME_PAGE = TESSARIX_HOME_PAGE;

constexpr intptr_t DICE_SOUND_CLICK = 0;
constexpr intptr_t DICE_SOUND_ROLL = 1;

// Starts the sound system; without a device the program stays silent (sound_ok 0).
void dice_sound_start();
// Decodes the click and the roll when the sound system started; otherwise no sound
// object is made. Nothing is heard before the first button press, so this may follow
// the window's first paint.
void dice_sound_load();
void dice_play_click();
void dice_play_roll();
// Start of a throw: the click, 100 ms, then the rolling sound.
void dice_throw_cue();
// "ENDE", and after the statistics requester: the click, and 100 ms for it to be heard.
void dice_closing_click();
// "Brisgauer-Homepage": the click, then the shell opens the address in the web browser.
void dice_open_home_page();
