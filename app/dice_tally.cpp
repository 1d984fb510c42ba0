#include "app/dice_tally.h"

#include "runtime/core/number_text.h"

dice_tally_record dice_tally;

const char* const DICE_REPORT_TITLE = "Tessarix: W\xFCrfelstatistik";

namespace {

constexpr int32_t kFaces = 6;

// The shares are figured from a single-precision hundred, as the report always showed them:
// 100/3 becomes 33.333332 and prints as 33.33.
constexpr float kHundred = 100.0f;

const char* const kFaceText[kFaces + 1] = {
    nullptr, "Die '1' wurde ", "Die '2' wurde ", "Die '3' wurde ", "Die '4' wurde ", "Die '5' wurde ", "Die '6' wurde ",
};

// Every count is handed on widened with its sign.
void append_count(int32_t value) { text_of_int(static_cast<int64_t>(value)); }

}  // namespace

void dice_record_throw(int32_t k) {
  if (k < 1 || k > kFaces) return;
  dice_tally.face_count[k] += 1;
  dice_tally.total_pips += k;
  dice_tally.face_pips[k] += k;
  dice_tally.throws += 1;
}

int32_t dice_report_text() {
  dice_tally_record& t = dice_tally;
  if (t.throws <= 0) return 0;

  for (int32_t k = 1; k <= kFaces; ++k) {
    // Division first, product second, both in double; the product is kept as a float.
    double share = static_cast<double>(kHundred) / static_cast<double>(t.throws) * static_cast<double>(t.face_count[k]);
    t.face_share[k] = static_cast<float>(share);
    int32_t p = strbuf_position();
    text_of_float(t.face_share[k], 2);
    string_store(&t.face_share_text[k], p);
  }

  int32_t p = strbuf_position();
  strbuf_append("Es wurde ");
  append_count(t.throws);
  strbuf_append("mal gew\xFCrfelt\r\r");
  string_store(&t.throws_line, p);

  p = strbuf_position();
  strbuf_append("Insgesamt wurden ");
  append_count(t.total_pips);
  strbuf_append(" Augen erw\xFCrfelt\r\r");
  string_store(&t.total_line, p);

  for (int32_t k = 1; k <= kFaces; ++k) {
    p = strbuf_position();
    strbuf_append(kFaceText[k]);
    append_count(t.face_count[k]);
    strbuf_append("mal gew\xFCrfelt = ");
    append_count(t.face_pips[k]);
    strbuf_append(" Augen; Verteilungsanteil war ");
    strbuf_append(t.face_share_text[k]);
    strbuf_append("%\r");
    string_store(&t.face_line[k], p);
  }

  // The report itself stays a temporary at the position, for the caller to pass on.
  strbuf_append(t.throws_line);
  strbuf_append(t.total_line);
  for (int32_t k = 1; k <= kFaces; ++k) strbuf_append(t.face_line[k]);
  return 1;
}

const char* dice_face_name(int32_t face) {
  static const char* const names[7] = {"W\xFCrfel",    "W\xFCrfel: 1", "W\xFCrfel: 2", "W\xFCrfel: 3",
                                       "W\xFCrfel: 4", "W\xFCrfel: 5", "W\xFCrfel: 6"};
  return face >= 1 && face <= 6 ? names[face] : names[0];
}
