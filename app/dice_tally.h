// The state of one run of the dice roller and the statistics report.
#pragma once

#include <cstdint>

#include "runtime/core/strbuf.h"

struct dice_tally_record {
  int32_t last_throw;
  int32_t face_count[7];  // index 1..6
  int32_t total_pips;
  float face_share[7];
  int32_t face_pips[7];
  int32_t random_source;  // 1: cryptographic source, 2: pseudo-random generator
  int32_t sound_ok;
  int32_t throws;
  string_var face_share_text[7];
  string_var throws_line;
  string_var total_line;
  string_var face_line[7];
};

extern dice_tally_record dice_tally;

// The statistics title, in Windows-1252.
extern const char* const DICE_REPORT_TITLE;

// Counts a throw of face k (1..6); other values change nothing.
void dice_record_throw(int32_t k);
// With at least one throw: appends the report at the string buffer's position (a
// temporary expression for the caller to pass on at once) and returns 1; else 0.
int32_t dice_report_text();
// What the die shows, in words for assistive tools: "W\xFCrfel: k" for face k (1..6),
// "W\xFCrfel" for the start picture (0) and anything else.
const char* dice_face_name(int32_t face);
