// ardo-cp932gen OUT.inc: the CP932 table of the build machine's iconv, as C++ arrays.
//
// kCp932Single[b]: the character of single byte b, or 0xFFFF where b leads a pair or
// is not used. kCp932Pairs: {two-byte code, character} in code order. kCp932Encode:
// {character, code} in character order, the code the converter writes for it (one byte
// when below 0x100); several codes may read as one character, but each character is
// written one way.
#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

// One conversion; false when the converter refuses the input.
bool Convert(iconv_t cd, const std::string& in, std::string* out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char buffer[16];
  char* src = const_cast<char*>(in.data());
  std::size_t left = in.size();
  char* dst = buffer;
  std::size_t room = sizeof buffer;
  if (iconv(cd, &src, &left, &dst, &room) == static_cast<std::size_t>(-1) || left != 0) return false;
  out->assign(buffer, sizeof buffer - room);
  return true;
}

// A UTF-32LE code unit as a number.
std::uint32_t Utf32(const std::string& s) {
  std::uint32_t u = 0;
  for (int i = 3; i >= 0; --i) u = (u << 8) | static_cast<unsigned char>(s[static_cast<std::size_t>(i)]);
  return u;
}

bool LeadByte(int b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ardo-cp932gen OUT.inc\n");
    return 2;
  }
  iconv_t decode = iconv_open("UTF-32LE", "CP932");
  iconv_t encode = iconv_open("CP932", "UTF-32LE");
  if (decode == reinterpret_cast<iconv_t>(-1) || encode == reinterpret_cast<iconv_t>(-1)) {
    std::fprintf(stderr, "ardo-cp932gen: this machine's iconv has no CP932 converter\n");
    return 1;
  }
  std::vector<std::uint32_t> single(256, 0xFFFF);
  std::vector<std::pair<unsigned, std::uint32_t>> pairs;
  std::vector<std::pair<std::uint32_t, unsigned>> codes;
  std::string out;
  for (int b = 0; b < 256; ++b) {
    if (!LeadByte(b) && Convert(decode, std::string(1, static_cast<char>(b)), &out) && out.size() == 4) {
      single[static_cast<std::size_t>(b)] = Utf32(out);
    }
  }
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!LeadByte(lead)) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      const std::string in{static_cast<char>(lead), static_cast<char>(trail)};
      if (Convert(decode, in, &out) && out.size() == 4) pairs.emplace_back(lead << 8 | trail, Utf32(out));
    }
  }
  for (std::uint32_t u = 1; u <= 0xFFFF; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    const std::string in{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8 & 0xFF), '\0', '\0'};
    if (!Convert(encode, in, &out) || out.empty() || out.size() > 2) continue;
    const unsigned code = out.size() == 1 ? static_cast<unsigned char>(out[0])
                                          : static_cast<unsigned char>(out[0]) << 8 | static_cast<unsigned char>(out[1]);
    codes.emplace_back(u, code);
  }
  iconv_close(decode);
  iconv_close(encode);
  if (pairs.size() < 7000 || codes.size() < 7000 || single[0x41] != 0x41) {
    std::fprintf(stderr, "ardo-cp932gen: the converter's CP932 looks wrong (%zu pairs, %zu characters)\n",
                 pairs.size(), codes.size());
    return 1;
  }

  const std::string path = argv[1];
  const std::string temp = path + ".tmp";
  std::FILE* f = std::fopen(temp.c_str(), "w");
  if (f == nullptr) {
    std::perror(temp.c_str());
    return 1;
  }
  std::fprintf(f, "// Made by ardo-cp932gen from the build machine's CP932 converter.\n");
  std::fprintf(f, "constexpr std::uint16_t kCp932Single[256] = {");
  for (std::size_t b = 0; b < 256; ++b) std::fprintf(f, "%s0x%04X,", b % 12 == 0 ? "\n  " : " ", single[b]);
  std::fprintf(f, "\n};\nconstexpr CodePair kCp932Pairs[] = {");
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    std::fprintf(f, "%s{0x%04X, 0x%04X},", i % 6 == 0 ? "\n  " : " ", pairs[i].first, pairs[i].second);
  }
  std::fprintf(f, "\n};\nconstexpr CodePair kCp932Encode[] = {");
  for (std::size_t i = 0; i < codes.size(); ++i) {
    std::fprintf(f, "%s{0x%04X, 0x%04X},", i % 6 == 0 ? "\n  " : " ", codes[i].first, codes[i].second);
  }
  std::fprintf(f, "\n};\n");
  const bool ok = std::fclose(f) == 0;
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::perror(path.c_str());
    return 1;
  }
  return 0;
}
