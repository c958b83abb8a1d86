// Little-endian reads and writes of fixed-size fields: the one byte-order helper of the tree.
//
// Every stored file and stream is little-endian whatever the host, so fields are read and written
// byte by byte instead of as raw structs. Header-only, no state; safe from any thread.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

inline uint16_t GxBytesGetU16(const uint8_t* in) { return static_cast<uint16_t>(in[0] | (in[1] << 8)); }

inline uint32_t GxBytesGetU24(const uint8_t* in)
{
    return static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8) | (static_cast<uint32_t>(in[2]) << 16);
}

inline uint32_t GxBytesGetU32(const uint8_t* in) { return GxBytesGetU24(in) | (static_cast<uint32_t>(in[3]) << 24); }

inline int32_t GxBytesGetI32(const uint8_t* in) { return static_cast<int32_t>(GxBytesGetU32(in)); }

inline float GxBytesGetReal(const uint8_t* in)
{
    const uint32_t bits = GxBytesGetU32(in);
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

inline void GxBytesPutU16(uint8_t* out, uint32_t value)
{
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

inline void GxBytesPutU32(uint8_t* out, uint32_t value)
{
    GxBytesPutU16(out, value);
    GxBytesPutU16(out + 2, value >> 16);
}

inline void GxBytesPutReal(uint8_t* out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    GxBytesPutU32(out, bits);
}

// Appends a field of `size` bytes (1 to 4), low byte first: how writers of fixtures lay a file out.
inline void GxBytesAppend(std::vector<uint8_t>* out, uint32_t value, int size = 4)
{
    uint8_t field[4];
    GxBytesPutU32(field, value);
    out->insert(out->end(), field, field + size);
}
