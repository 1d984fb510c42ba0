#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <initializer_list>
#include <string>

#include "app/dice_tally.h"
#include "runtime/core/random.h"
#include "runtime/core/runtime.h"
#include "runtime/core/strbuf.h"
#include "tests/test_runtime.h"

namespace {

// Each test starts from the tally as the program starts (all zero) on a fresh string
// heap; the tally's string variables die with the heap, so they are cleared with it.
class DiceTally : public test_runtime::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    dice_tally = dice_tally_record{};
  }
  void TearDown() override {
    RuntimeTest::TearDown();
    dice_tally = dice_tally_record{};
  }

  static void throw_faces(std::initializer_list<int32_t> faces) {
    for (int32_t k : faces) dice_record_throw(k);
  }

  // The report as the application passes it on: a temporary at the buffer position.
  static std::string report() {
    int32_t p = strbuf_position();
    EXPECT_EQ(1, dice_report_text());
    std::string text = strbuf_argument(p);
    EXPECT_EQ(p + static_cast<int32_t>(text.size()) + 1, strbuf_position()) << "the argument's zero byte is in use";
    strbuf_argument_done(p);
    EXPECT_EQ(p, strbuf_position());
    return text;
  }
};

TEST_F(DiceTally, ReportOfFiveThrowsIsExact) {
  throw_faces({1, 3, 3, 6, 2});
  const std::string expected =
      "Es wurde 5mal gew\xFCrfelt\r"
      "\r"
      "Insgesamt wurden 15 Augen erw\xFCrfelt\r"
      "\r"
      "Die '1' wurde 1mal gew\xFCrfelt = 1 Augen; Verteilungsanteil war 20.00%\r"
      "Die '2' wurde 1mal gew\xFCrfelt = 2 Augen; Verteilungsanteil war 20.00%\r"
      "Die '3' wurde 2mal gew\xFCrfelt = 6 Augen; Verteilungsanteil war 40.00%\r"
      "Die '4' wurde 0mal gew\xFCrfelt = 0 Augen; Verteilungsanteil war 0.00%\r"
      "Die '5' wurde 0mal gew\xFCrfelt = 0 Augen; Verteilungsanteil war 0.00%\r"
      "Die '6' wurde 1mal gew\xFCrfelt = 6 Augen; Verteilungsanteil war 20.00%\r";
  EXPECT_EQ(expected, report());
  EXPECT_EQ(0, strbuf_position()) << "nothing is left behind in the buffer";

  // The paragraphs and lines stay in their variables.
  EXPECT_STREQ("Es wurde 5mal gew\xFCrfelt\r\r", dice_tally.throws_line);
  EXPECT_STREQ("Insgesamt wurden 15 Augen erw\xFCrfelt\r\r", dice_tally.total_line);
  EXPECT_STREQ("Die '3' wurde 2mal gew\xFCrfelt = 6 Augen; Verteilungsanteil war 40.00%\r", dice_tally.face_line[3]);
}

TEST_F(DiceTally, SharesAreSinglePrecisionRoundedEachByItself) {
  throw_faces({1, 2, 2});
  std::string text = report();
  // 100/3 and 200/3 kept as floats: 33.333332 and 66.666664.
  EXPECT_EQ(33.333332f, dice_tally.face_share[1]);
  EXPECT_EQ(66.666664f, dice_tally.face_share[2]);
  const char* shares[] = {nullptr, "33.33", "66.67", "0.00", "0.00", "0.00", "0.00"};
  for (int k = 1; k <= 6; ++k) EXPECT_STREQ(shares[k], dice_tally.face_share_text[k]) << "face " << k;
  EXPECT_NE(std::string::npos, text.find("Die '2' wurde 2mal gew\xFCrfelt = 4 Augen; Verteilungsanteil war 66.67%\r"));

  // Seven throws: no share is exact, and the rounded texts need not add up to 100.00.
  throw_faces({3, 3, 4, 5});
  report();
  const char* sevenths[] = {nullptr, "14.29", "28.57", "28.57", "14.29", "14.29", "0.00"};
  for (int k = 1; k <= 6; ++k) EXPECT_STREQ(sevenths[k], dice_tally.face_share_text[k]) << "face " << k;
}

TEST_F(DiceTally, ASharesExactHalfRoundsUp) {
  // 32 throws: face 1 once is 3.125 %, face 2 the other 31 times 96.875 %, both exact.
  dice_record_throw(1);
  for (int i = 0; i < 31; ++i) dice_record_throw(2);
  std::string text = report();
  EXPECT_STREQ("3.13", dice_tally.face_share_text[1]);
  EXPECT_STREQ("96.88", dice_tally.face_share_text[2]);
  EXPECT_NE(std::string::npos, text.find("Die '1' wurde 1mal gew\xFCrfelt = 1 Augen; Verteilungsanteil war 3.13%\r"))
      << text;
}

TEST_F(DiceTally, NoThrowYieldsNothing) {
  strbuf_append("kept");
  int32_t p = strbuf_position();
  EXPECT_EQ(0, dice_report_text());
  EXPECT_EQ(p, strbuf_position());
  EXPECT_EQ(0, std::strcmp("kept", string_library().base));
  EXPECT_EQ(nullptr, dice_tally.throws_line) << "no line is made without a throw";
  EXPECT_EQ(nullptr, dice_tally.face_share_text[1]);

  // A tally whose count went wrong below zero reports nothing either.
  dice_tally.throws = -1;
  EXPECT_EQ(0, dice_report_text());
  EXPECT_EQ(p, strbuf_position());
}

TEST_F(DiceTally, FacesOutsideTheDieChangeNothing) {
  throw_faces({2, 5});
  dice_tally_record before = dice_tally;
  for (int32_t k : {0, 7, -1, -6, 100, INT32_MIN, INT32_MAX}) {
    dice_record_throw(k);
    // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison): byte for byte is the point; no padding here
    EXPECT_EQ(0, std::memcmp(&before, &dice_tally, sizeof before)) << "face " << k;
  }
  EXPECT_EQ(2, dice_tally.throws);
}

TEST_F(DiceTally, CountsKeepTheirInvariants) {
  random_seed(99);
  for (int n = 1; n <= 600; ++n) {
    int32_t k = static_cast<int32_t>(random_int(5)) + 1;
    int32_t last = dice_tally.last_throw;
    dice_record_throw(k);
    EXPECT_EQ(last, dice_tally.last_throw) << "recording leaves the face shown to the caller";
    int32_t throws = 0, pips = 0;
    for (int f = 1; f <= 6; ++f) {
      throws += dice_tally.face_count[f];
      pips += dice_tally.face_pips[f];
      ASSERT_EQ(f * dice_tally.face_count[f], dice_tally.face_pips[f]) << "face " << f << " after throw " << n;
    }
    ASSERT_EQ(n, dice_tally.throws);
    ASSERT_EQ(throws, dice_tally.throws) << "after throw " << n;
    ASSERT_EQ(pips, dice_tally.total_pips) << "after throw " << n;
  }
  report();
  float sum = 0;
  for (int f = 1; f <= 6; ++f) sum += dice_tally.face_share[f];
  EXPECT_NEAR(100.0f, sum, 0.001f);
}

TEST_F(DiceTally, ReportFollowsTextAlreadyAssembled) {
  // The report is an operand like any other: it lands behind what the caller has so far.
  throw_faces({6});
  strbuf_append("prefix|");
  int32_t p = strbuf_position();
  std::string text = report();
  EXPECT_EQ(0, text.find("Es wurde 1mal gew\xFCrfelt\r\rInsgesamt wurden 6 Augen erw\xFCrfelt\r\r")) << text;
  EXPECT_NE(std::string::npos, text.find("Die '6' wurde 1mal gew\xFCrfelt = 6 Augen; Verteilungsanteil war 100.00%\r"))
      << text;
  EXPECT_EQ(0, std::strncmp("prefix|", string_library().base, 7));
  EXPECT_EQ(p, strbuf_position());

  // A second report after more throws stores the variables afresh.
  throw_faces({1});
  text = report();
  EXPECT_EQ(0, text.find("Es wurde 2mal")) << text;
  EXPECT_STREQ("50.00", dice_tally.face_share_text[6]);
}

TEST_F(DiceTally, TitleAndFaceNamesAreSingleByteGerman) {
  EXPECT_EQ(std::string("Tessarix: W") + '\xFC' + "rfelstatistik", DICE_REPORT_TITLE);
  EXPECT_EQ(25u, std::strlen(DICE_REPORT_TITLE));
  const struct {
    int32_t face;
    const char* name;
  } names[] = {{0, "W\xFCrfel"},    {1, "W\xFCrfel: 1"}, {4, "W\xFCrfel: 4"},
               {6, "W\xFCrfel: 6"}, {7, "W\xFCrfel"},    {-1, "W\xFCrfel"}};
  for (const auto& n : names) EXPECT_STREQ(n.name, dice_face_name(n.face)) << "face " << n.face;
}

}  // namespace
