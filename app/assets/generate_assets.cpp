// Makes the dice roller's embedded pictures and sounds, and its icon, from nothing but
// this source: the same bytes on every run and every machine (integer geometry, a fixed
// pseudo-random sequence, no floating point in any stored sample or pixel).
//
//   generate_assets OUTPUT_DIRECTORY
//
// writes start.bmp, face_1.bmp .. face_6.bmp, click.wav, roll.wav and tessarix.ico.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;

void put16(bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(bytes& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}
void put_text(bytes& out, const char* text, size_t n) {
  for (size_t i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(text[i]));
}

// ---------------------------------------------------------------------------------------
// Pictures: 300 x 300, one palette index per pixel.

constexpr int SIDE = 300;
constexpr uint8_t BLACK = 0, RED = 9, YELLOW = 11, WHITE = 15;

// The standard 16 colours as (red, green, blue), in palette order.
constexpr uint8_t PALETTE[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                    {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
                                    {192, 192, 192}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

struct picture {
  uint8_t pixel[SIDE][SIDE];  // [row from the top][column]
};

// The face's rounded outline, in half-pixel units so that every test is an integer one:
// pixel centres lie at odd coordinates 1..599, the corner arcs are centred 65 half-pixels
// in from the top and left edges and on the last pixel centre's line (534) at the right
// and bottom, radius about 32.7 pixels. That slight asymmetry gives the die its 933 white
// corner pixels (a mirror-symmetric outline can only give a multiple of four).
constexpr int CORNER_NEAR = 65, CORNER_FAR = 534, CORNER_RADIUS_SQUARED = 4268;

bool outside_face(int x, int y) {
  int px = 2 * x + 1, py = 2 * y + 1;
  int cx = px < CORNER_NEAR ? CORNER_NEAR : (px > CORNER_FAR ? CORNER_FAR : px);
  int cy = py < CORNER_NEAR ? CORNER_NEAR : (py > CORNER_FAR ? CORNER_FAR : py);
  int dx = px - cx, dy = py - cy;
  return dx * dx + dy * dy > CORNER_RADIUS_SQUARED;
}

void paint_blank_face(picture& p) {
  for (int y = 0; y < SIDE; ++y)
    for (int x = 0; x < SIDE; ++x) p.pixel[y][x] = outside_face(x, y) ? WHITE : RED;
}

// A pip: a yellow disc 39 pixels across on its axes (about 38 on average), with a few
// black pixels on its lower right rim as a hint of shade.
constexpr int PIP_RADIUS_SQUARED = 19 * 19 + 4;

bool in_pip(int dx, int dy) { return dx * dx + dy * dy <= PIP_RADIUS_SQUARED; }

void paint_pip(picture& p, int cx, int cy) {
  for (int dy = -20; dy <= 20; ++dy)
    for (int dx = -20; dx <= 20; ++dx) {
      if (!in_pip(dx, dy)) continue;
      bool rim = !in_pip(dx + 1, dy) || !in_pip(dx, dy + 1);
      // Lower right, within about 20 degrees of the diagonal: |dx - dy| small, both positive.
      bool shaded = rim && dx > 0 && dy > 0 && (dx - dy) * (dx - dy) * 8 < dx * dx + dy * dy;
      p.pixel[cy + dy][cx + dx] = shaded ? BLACK : YELLOW;
    }
}

constexpr int PIP_COLUMN[3] = {73, 150, 226};
constexpr int PIP_ROW[3] = {73, 149, 224};

// For each face, its pips as (column index, row index) into the tables above.
struct pip_place {
  int column, row;
};
const std::vector<pip_place> FACE_PIPS[7] = {
    {},
    {{1, 1}},
    {{0, 2}, {2, 0}},
    {{0, 2}, {1, 1}, {2, 0}},
    {{0, 0}, {2, 0}, {0, 2}, {2, 2}},
    {{0, 0}, {2, 0}, {1, 1}, {0, 2}, {2, 2}},
    {{0, 0}, {0, 1}, {0, 2}, {2, 0}, {2, 1}, {2, 2}},
};

// A small hand-drawn font for the start picture's words, on a grid 5 wide and 11 high:
// capitals on rows 2..8, small letters on rows 4..8, the baseline under row 8.
struct glyph {
  char name;  // the Windows-1252 byte it stands for
  int width;
  const char* rows[11];
};

const glyph FONT[] = {
    {'D', 5, {".....", ".....", "####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####.", ".....", "....."}},
    {'S', 5, {".....", ".....", ".####", "#....", "#....", ".###.", "....#", "....#", "####.", ".....", "....."}},
    {'T', 5, {".....", ".....", "#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#..", ".....", "....."}},
    {'A', 5, {".....", ".....", ".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#", ".....", "....."}},
    {'R', 5, {".....", ".....", "####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#", ".....", "....."}},
    {'r', 5, {".....", ".....", ".....", ".....", "#.##.", "##..#", "#....", "#....", "#....", ".....", "....."}},
    {'\xFC', 5, {".....", ".....", ".#.#.", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#", ".....", "....."}},
    {'c', 5, {".....", ".....", ".....", ".....", ".###.", "#....", "#....", "#...#", ".###.", ".....", "....."}},
    {'k', 5, {".....", ".....", "#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#.", ".....", "....."}},
    {'e', 5, {".....", ".....", ".....", ".....", ".###.", "#...#", "#####", "#....", ".###.", ".....", "....."}},
    {'n', 5, {".....", ".....", ".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#", ".....", "....."}},
    {'i', 3, {"...", "...", ".#.", "...", "##.", ".#.", ".#.", ".#.", "###", "...", "..."}},
    // Low opening quote: two commas on the baseline.
    {'\x84', 5, {".....", ".....", ".....", ".....", ".....", ".....", ".....", "##.##", ".#..#", "#..#.", "....."}},
    // High closing quote: two turned commas at cap height.
    {'\x93', 5, {".....", ".....", ".#..#", "#..#.", "##.##", ".....", ".....", ".....", ".....", ".....", "....."}},
};

const glyph* find_glyph(char c) {
  for (const glyph& g : FONT)
    if (g.name == c) return &g;
  return nullptr;
}

constexpr int FONT_SCALE = 6, GLYPH_GAP = 1, LINE_PITCH = 12, GLYPH_ROWS = 11;

int line_width_cells(const char* text) {
  int w = 0;
  for (const char* c = text; *c; ++c) w += find_glyph(*c)->width + (c[1] ? GLYPH_GAP : 0);
  return w;
}

void paint_start_picture(picture& p) {
  paint_blank_face(p);
  const char* lines[3] = {
      "Dr\xFC"
      "cken",
      "Sie", "\x84START\x93"};
  // The lettering's ink spans grid rows 2 (first line's capitals) to 9 (the last line's
  // low quote); centre that span vertically.
  int ink_top = 2, ink_bottom = 2 * LINE_PITCH + 9;
  int top = (SIDE - (ink_bottom - ink_top + 1) * FONT_SCALE) / 2 - ink_top * FONT_SCALE;
  for (int l = 0; l < 3; ++l) {
    int left = (SIDE - line_width_cells(lines[l]) * FONT_SCALE) / 2;
    for (const char* c = lines[l]; *c; ++c) {
      const glyph* g = find_glyph(*c);
      for (int r = 0; r < GLYPH_ROWS; ++r)
        for (int k = 0; k < g->width; ++k) {
          if (g->rows[r][k] != '#') continue;
          for (int sy = 0; sy < FONT_SCALE; ++sy)
            for (int sx = 0; sx < FONT_SCALE; ++sx)
              p.pixel[top + (l * LINE_PITCH + r) * FONT_SCALE + sy][left + k * FONT_SCALE + sx] = YELLOW;
        }
      left += (g->width + GLYPH_GAP) * FONT_SCALE;
    }
  }
}

void paint_face(picture& p, int face) {
  paint_blank_face(p);
  for (const pip_place& pip : FACE_PIPS[face]) paint_pip(p, PIP_COLUMN[pip.column], PIP_ROW[pip.row]);
}

// A 4-bit uncompressed BMP: 118 bytes of headers and palette, then 300 rows of 152 bytes,
// bottom row first.
bytes bmp_file(const picture& p) {
  constexpr uint32_t ROW = 152, PIXELS = ROW * SIDE, OFFSET = 118;
  bytes out;
  put_text(out, "BM", 2);
  put32(out, OFFSET + PIXELS);
  put32(out, 0);
  put32(out, OFFSET);
  put32(out, 40);
  put32(out, SIDE);
  put32(out, SIDE);
  put16(out, 1);
  put16(out, 4);
  put32(out, 0);
  put32(out, PIXELS);
  put32(out, 0);
  put32(out, 0);
  put32(out, 16);
  put32(out, 0);
  for (const auto& c : PALETTE) {
    out.push_back(c[2]);
    out.push_back(c[1]);
    out.push_back(c[0]);
    out.push_back(0);
  }
  for (int y = SIDE - 1; y >= 0; --y) {
    for (int x = 0; x < SIDE; x += 2) out.push_back(static_cast<uint8_t>(p.pixel[y][x] << 4 | p.pixel[y][x + 1]));
    out.push_back(0);
    out.push_back(0);
  }
  return out;
}

// ---------------------------------------------------------------------------------------
// Sounds: 16-bit PCM, computed in integers from a fixed pseudo-random sequence.

struct noise {
  uint32_t state;
  // xorshift32: full period, fixed across compilers.
  uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  // -32768 .. 32767
  int32_t sample() { return static_cast<int32_t>(next() >> 16) - 32768; }
};

int16_t clamp16(int64_t v) { return static_cast<int16_t>(v > 32767 ? 32767 : (v < -32768 ? -32768 : v)); }

// A sine table of one period in 256 steps, amplitude 32767, built by integer rotation
// (exact and identical everywhere): a second-order resonator started at sin(0), sin(step).
std::vector<int32_t> sine_table() {
  // sin(2*pi/256) * 2^30 and 2*cos(2*pi/256) * 2^30, rounded.
  constexpr int64_t SIN_STEP = 26350943, TWO_COS = 2146836866;
  std::vector<int32_t> t(256);
  int64_t prev = 0, cur = SIN_STEP;  // in units of 2^-30
  t[0] = 0;
  for (int i = 1; i < 256; ++i) {
    t[i] = static_cast<int32_t>((cur * 32767 + (int64_t{1} << 29)) >> 30);
    int64_t next = ((TWO_COS * cur) >> 30) - prev;
    prev = cur;
    cur = next;
  }
  return t;
}

// The click: a sharp tick of a few milliseconds, a 2.7 kHz ring with noise on its attack,
// fading exponentially over 680 samples (31 ms at 22050 Hz).
std::vector<int16_t> click_samples() {
  const std::vector<int32_t> sine = sine_table();
  noise n{0x1D1CE5u};
  std::vector<int16_t> s(680);
  int64_t envelope = 1 << 16;  // 16.16 fixed point, starts at full scale
  uint32_t phase = 0;
  const uint32_t step = static_cast<uint32_t>((uint64_t{2700} << 32) / 22050);  // 1/2^32 of a period
  for (size_t i = 0; i < s.size(); ++i) {
    int64_t tone = sine[phase >> 24];
    int64_t hiss = i < 40 ? n.sample() : n.sample() / 8;
    int64_t v = (tone * 3 / 4 + hiss / 2) * envelope >> 16;
    s[i] = clamp16(v * 7 / 10);
    envelope = envelope * 252 >> 8;  // about -0.14 dB per sample
    phase += step;
  }
  return s;
}

// The roll: a die tumbling over a table, heard as irregular knocks that come faster and
// weaker as it settles; each knock is a burst of filtered noise with a short wooden ring,
// placed a little to the left or right. 8635 stereo frames at 16000 Hz.
std::vector<int16_t> roll_samples() {
  constexpr int FRAMES = 8635;
  const std::vector<int32_t> sine = sine_table();
  std::vector<int64_t> left(FRAMES), right(FRAMES);
  noise n{0xD1CEu * 2654435761u};
  int start = 120;
  int64_t strength = 30000;
  int gap = 1500;
  while (start < FRAMES - 200) {
    int length = 500 + static_cast<int>(n.next() % 400);
    int pan = static_cast<int>(n.next() % 129) - 64;  // -64 left .. 64 right
    uint32_t ring = static_cast<uint32_t>((uint64_t{500} + n.next() % 700) * (uint64_t{1} << 32) / 16000);
    uint32_t phase = 0;
    int64_t envelope = strength;
    int64_t low = 0;
    for (int i = 0; i < length && start + i < FRAMES; ++i) {
      // A one-pole low-pass keeps the knock dull rather than hissing.
      low += (n.sample() - low) / 3;
      int64_t v = (low * 2 + sine[phase >> 24] * 3) / 5;
      v = v * envelope / 32768;
      left[start + i] += v * (64 - pan) / 128;
      right[start + i] += v * (64 + pan) / 128;
      envelope = envelope * 251 / 256;
      phase += ring;
    }
    start += gap + static_cast<int>(n.next() % 400) - 200;
    gap = gap * 3 / 4 < 350 ? 350 : gap * 3 / 4;
    strength = strength * 13 / 16;
  }
  std::vector<int16_t> s(2 * FRAMES);
  for (int i = 0; i < FRAMES; ++i) {
    s[2 * i] = clamp16(left[i]);
    s[2 * i + 1] = clamp16(right[i]);
  }
  return s;
}

bytes wav_file(const std::vector<int16_t>& samples, uint16_t channels, uint32_t rate, const bytes& trailer) {
  const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
  const uint16_t align = static_cast<uint16_t>(channels * 2);
  bytes out;
  put_text(out, "RIFF", 4);
  put32(out, static_cast<uint32_t>(4 + 24 + 8 + data + trailer.size()));
  put_text(out, "WAVE", 4);
  put_text(out, "fmt ", 4);
  put32(out, 16);
  put16(out, 1);
  put16(out, channels);
  put32(out, rate);
  put32(out, rate * align);
  put16(out, align);
  put16(out, 16);
  put_text(out, "data", 4);
  put32(out, data);
  for (int16_t v : samples) put16(out, static_cast<uint16_t>(v));
  out.insert(out.end(), trailer.begin(), trailer.end());
  return out;
}

// The roll sound's descriptive tags: a "LIST" chunk of type "INFO" with a title and the
// name of the software that made it, 54 bytes of body.
bytes info_list() {
  bytes body;
  put_text(body, "INFO", 4);
  const char title[] = "Rollender Wuerfel";  // 17 characters and the zero: 18, even
  put_text(body, "INAM", 4);
  put32(body, sizeof title);
  put_text(body, title, sizeof title);
  const char software[] = "Tessarix-Assets";  // 15 characters and the zero: 16, even
  put_text(body, "ISFT", 4);
  put32(body, sizeof software);
  put_text(body, software, sizeof software);
  bytes out;
  put_text(out, "LIST", 4);
  put32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// ---------------------------------------------------------------------------------------
// The program's icon: the die showing five, 47 x 37 pixels, 24 bits per pixel with an
// AND mask that makes the rounded corners transparent.

bytes icon_file() {
  constexpr int W = 47, H = 37;
  constexpr uint32_t COLOUR_ROW = (W * 3 + 3) / 4 * 4, MASK_ROW = (W + 31) / 32 * 4;
  constexpr uint32_t IMAGE = 40 + COLOUR_ROW * H + MASK_ROW * H;
  // Sample the 300 x 300 face five onto the icon's grid (nearest pixel, squeezed).
  picture face;
  paint_face(face, 5);
  bytes out;
  put16(out, 0);
  put16(out, 1);
  put16(out, 1);
  out.push_back(W);
  out.push_back(H);
  out.push_back(0);
  out.push_back(0);
  put16(out, 1);
  put16(out, 24);
  put32(out, IMAGE);
  put32(out, 6 + 16);
  put32(out, 40);
  put32(out, W);
  put32(out, 2 * H);  // colour rows and mask rows together
  put16(out, 1);
  put16(out, 24);
  put32(out, 0);
  put32(out, COLOUR_ROW * H + MASK_ROW * H);
  put32(out, 0);
  put32(out, 0);
  put32(out, 0);
  put32(out, 0);
  auto source = [&](int x, int y) { return face.pixel[(y * SIDE + SIDE / 2) / H][(x * SIDE + SIDE / 2) / W]; };
  for (int y = H - 1; y >= 0; --y) {
    uint32_t written = 0;
    for (int x = 0; x < W; ++x, written += 3) {
      uint8_t index = source(x, y);
      const uint8_t* c = PALETTE[index == WHITE ? BLACK : index];  // transparent pixels black
      out.push_back(c[2]);
      out.push_back(c[1]);
      out.push_back(c[0]);
    }
    for (; written < COLOUR_ROW; ++written) out.push_back(0);
  }
  for (int y = H - 1; y >= 0; --y) {
    uint8_t row[MASK_ROW] = {};
    for (int x = 0; x < W; ++x)
      if (source(x, y) == WHITE) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    out.insert(out.end(), row, row + MASK_ROW);
  }
  return out;
}

bool write_file(const std::string& path, const bytes& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  static picture p;
  bool ok = true;
  paint_start_picture(p);
  ok &= write_file(dir + "/start.bmp", bmp_file(p));
  for (int face = 1; face <= 6; ++face) {
    paint_face(p, face);
    ok &= write_file(dir + "/face_" + std::to_string(face) + ".bmp", bmp_file(p));
  }
  ok &= write_file(dir + "/click.wav", wav_file(click_samples(), 1, 22050, {}));
  ok &= write_file(dir + "/roll.wav", wav_file(roll_samples(), 2, 16000, info_list()));
  ok &= write_file(dir + "/tessarix.ico", icon_file());
  if (!ok) {
    std::fprintf(stderr, "%s: cannot write into %s\n", argv[0], dir.c_str());
    return 1;
  }
  return 0;
}
