// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Little-endian fields and short strings as every file of the store lays
// them out: integers least significant byte first, floats as IEEE 754 in the
// same byte order, and short strings as one length byte followed by the
// characters, padded with zeros to the field's fixed width.

#include <cstdint>
#include <cstring>
#include <string>

namespace store::bytes {

inline std::uint16_t getU16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | (at[1] << 8)); }
inline std::int16_t getI16(const std::uint8_t* at) { return static_cast<std::int16_t>(getU16(at)); }
inline std::uint32_t getU32(const std::uint8_t* at)
{
    return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
           (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}
inline std::int32_t getI32(const std::uint8_t* at) { return static_cast<std::int32_t>(getU32(at)); }
inline std::uint64_t getU64(const std::uint8_t* at)
{
    return static_cast<std::uint64_t>(getU32(at)) | (static_cast<std::uint64_t>(getU32(at + 4)) << 32);
}
inline double getF64(const std::uint8_t* at)
{
    std::uint64_t bits = getU64(at);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void putU16(std::uint8_t* at, std::uint16_t value)
{
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}
inline void putI16(std::uint8_t* at, std::int16_t value) { putU16(at, static_cast<std::uint16_t>(value)); }
inline void putU32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
inline void putI32(std::uint8_t* at, std::int32_t value) { putU32(at, static_cast<std::uint32_t>(value)); }
inline void putU64(std::uint8_t* at, std::uint64_t value)
{
    putU32(at, static_cast<std::uint32_t>(value));
    putU32(at + 4, static_cast<std::uint32_t>(value >> 32));
}
inline void putF64(std::uint8_t* at, double value)
{
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    putU64(at, bits);
}

// A short string field of width bytes holds at most width - 1 characters. A
// length byte larger than that is clipped rather than trusted.
inline std::string getShortString(const std::uint8_t* at, std::size_t width)
{
    std::size_t length = at[0];
    if (length > width - 1) length = width - 1;
    return std::string(reinterpret_cast<const char*>(at + 1), length);
}
inline void putShortString(std::uint8_t* at, std::size_t width, const std::string& text)
{
    std::size_t length = text.size() < width - 1 ? text.size() : width - 1;
    std::memset(at, 0, width);
    at[0] = static_cast<std::uint8_t>(length);
    std::memcpy(at + 1, text.data(), length);
}

}  // namespace store::bytes
