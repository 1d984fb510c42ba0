// WAV images built in memory for the sound tests: the two layouts the program carries
// and variations of them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace wav_test {

inline void put_u16(std::vector<uint8_t>& out, uint32_t value) {
  size_t at = out.size();
  out.resize(at + 2);
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void put_u32(std::vector<uint8_t>& out, uint32_t value) {
  put_u16(out, value & 0xFFFF);
  put_u16(out, value >> 16);
}

inline void set_u32(std::vector<uint8_t>& image, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) image.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

// A PCM format record of 16 bytes, or 18 with an extra-size field when extra >= 0.
inline std::vector<uint8_t> pcm_format(uint16_t channels, uint32_t rate, uint16_t bits, int extra = -1) {
  std::vector<uint8_t> out;
  uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  put_u16(out, 1);
  put_u16(out, channels);
  put_u32(out, rate);
  put_u32(out, rate * align);
  put_u16(out, align);
  put_u16(out, bits);
  if (extra >= 0) put_u16(out, static_cast<uint32_t>(extra));
  return out;
}

struct chunk {
  std::string id;
  std::vector<uint8_t> body;
};

// "RIFF", the RIFF size (the bytes behind it), the form type, then the chunks as given.
inline std::vector<uint8_t> riff_image(const std::vector<chunk>& chunks, const char* form = "WAVE") {
  std::vector<uint8_t> out = {'R', 'I', 'F', 'F', 0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(form[i]));
  for (const chunk& c : chunks) {
    out.insert(out.end(), c.id.begin(), c.id.end());
    put_u32(out, static_cast<uint32_t>(c.body.size()));
    out.insert(out.end(), c.body.begin(), c.body.end());
  }
  set_u32(out, 4, static_cast<uint32_t>(out.size() - 8));
  return out;
}

// 16-bit samples of a square wave at half of full scale: loud and easy to recognise.
inline std::vector<uint8_t> square_wave(size_t samples, size_t half_period = 25) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < samples; ++i) put_u16(out, ((i / half_period) % 2) ? 0x4000 : 0xC000);
  return out;
}

// The click: mono, 22050 Hz, 16-bit, 680 samples; 1404 bytes in all.
inline std::vector<uint8_t> click_image() {
  return riff_image({{"fmt ", pcm_format(1, 22050, 16)}, {"data", square_wave(680)}});
}

// The roll: stereo, 16000 Hz, 16-bit, 8635 frames, then a LIST chunk of 54 bytes of text
// tags; 34646 bytes in all.
inline std::vector<uint8_t> roll_image() {
  std::vector<uint8_t> tags(54);
  const char text[] = "INFOISFT\x0e\0\0\0Tessarix Mixer\0";
  std::memcpy(tags.data(), text, sizeof(text) - 1);
  return riff_image({{"fmt ", pcm_format(2, 16000, 16)}, {"data", square_wave(2 * 8635)}, {"LIST", tags}});
}

}  // namespace wav_test
