// Little-endian field stores for the file layouts (BMP, AVI), independent of
// the host's byte order and of alignment.
#pragma once
#include <cstdint>

namespace pixel {

inline void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void Put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// A four-character code such as "RIFF" or "00db".
inline void PutTag(uint8_t* p, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(tag[i]);
}

}  // namespace pixel
