// Text services: LMBCS to UTF-8, name abbreviation and status texts.

#include <cstring>

#include "sim.h"

namespace sim {

namespace {

// Code page 850, bytes 0x80 to 0xFF (group 1 of LMBCS).
const uint16_t kCp850[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8,
    0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2,
    0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1,
    0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD,
    0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2,
    0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534,
    0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
    0x2550, 0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, 0x00D3, 0x00DF, 0x00D4,
    0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD,
    0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8, 0x00B0,
    0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};

constexpr uint32_t kUnmapped = '?';

size_t EncodeUtf8(uint32_t c, char* out) {
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

bool IsSingleByteGroup(unsigned char b) {
  return (b >= 0x02 && b <= 0x06) || b == 0x08 || b == 0x0B;
}
bool IsDoubleByteGroup(unsigned char b) { return b >= 0x10 && b <= 0x13; }

// Decodes one character at in[0..length); sets *used to the bytes taken.
uint32_t DecodeLmbcs(const unsigned char* in, size_t length, size_t* used) {
  unsigned char b = in[0];
  *used = 1;
  if (b >= 0x80) return kCp850[b - 0x80];
  if (b == 0x01) {  // explicit group 1
    if (length < 2) return kUnmapped;
    *used = 2;
    return in[1] >= 0x80 ? kCp850[in[1] - 0x80] : kUnmapped;
  }
  if (b == 0x0F) {  // control characters
    if (length < 2) return kUnmapped;
    *used = 2;
    unsigned char c = in[1];
    if (c >= 0x20 && c < 0x40) return c - 0x20u;
    if (c >= 0x80 && c < 0xA0) return c;
    return kUnmapped;
  }
  if (b == 0x14) {  // UTF-16BE unit; 0xF6 stands for a zero low byte
    if (length < 3) {
      *used = length;
      return kUnmapped;
    }
    *used = 3;
    auto unit = [](const unsigned char* p) -> uint32_t {
      return p[0] == 0xF6 ? static_cast<uint32_t>(p[1]) << 8 : (p[0] << 8) | p[1];
    };
    uint32_t high = unit(in + 1);
    if (high >= 0xDC00 && high <= 0xDFFF) return kUnmapped;
    if (high < 0xD800 || high > 0xDBFF) return high;
    if (length >= 6 && in[3] == 0x14) {
      uint32_t low = unit(in + 4);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        *used = 6;
        return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
      }
    }
    return kUnmapped;
  }
  // Other character sets: the group byte and its data bytes become one '?'.
  if (IsSingleByteGroup(b)) {
    *used = length < 2 ? length : 2;
    return kUnmapped;
  }
  if (IsDoubleByteGroup(b)) {
    *used = length < 3 ? length : 3;
    return kUnmapped;
  }
  return b;
}

bool IsKnownLabel(const char* label, size_t length) {
  return EqualsIgnoreCase(label, length, "CN", 2) || EqualsIgnoreCase(label, length, "OU", 2) ||
         EqualsIgnoreCase(label, length, "O", 1) || EqualsIgnoreCase(label, length, "C", 1);
}

}  // namespace

size_t LmbcsToUtf8(const unsigned char* in, size_t inLength, char* out, size_t outSize) {
  size_t written = 0;
  size_t i = 0;
  while (i < inLength) {
    size_t used;
    uint32_t c = DecodeLmbcs(in + i, inLength - i, &used);
    char encoded[4];
    size_t n = EncodeUtf8(c, encoded);
    if (written + n > outSize) break;
    memcpy(out + written, encoded, n);
    written += n;
    i += used;
  }
  return written;
}

std::string AbbreviateName(const char* name) {
  std::string out;
  bool labelled = true;
  const char* p = name;
  for (;;) {
    const char* end = strchr(p, '/');
    if (!end) end = p + strlen(p);
    const char* equals = static_cast<const char*>(memchr(p, '=', end - p));
    if (!equals || !IsKnownLabel(p, static_cast<size_t>(equals - p))) {
      labelled = false;
      break;
    }
    if (!out.empty() || p != name) out += '/';
    out.append(equals + 1, end);
    if (*end == '\0') break;
    p = end + 1;
  }
  return labelled ? out : std::string(name);
}

const char* BuiltInStatusText(STATUS code) {
  switch (code) {
    case 259: return "File does not exist";
    case 513: return "File is not a database";
    case 535: return "The runtime has not been initialized";
    case 546: return "Note item not found";
    case 549: return "Document has been deleted";
    case 551: return "Invalid or nonexistent document";
    case 582: return "You are not authorized to perform that operation";
    case 779: return "Collection does not exist and could not be created";
    case 781: return "You are not authorized to access the view";
    case 1028: return "Entry not found in index";
    case 2055: return "Server not responding";
    case kErrBadHandle: return "Invalid handle (simulator)";
    case kErrBadArgument: return "Invalid argument (simulator)";
    case kErrBufferTooSmall: return "Output buffer too small (simulator)";
    case kErrNoProgramDirectory:
      return "Program directory not found in argv[0] or PATH (simulator)";
    case kErrAddinNotFound: return "Extension library not found (simulator)";
    default: return nullptr;
  }
}

}  // namespace sim
