// CRC-32 of ISO 3309 / ITU-T V.42 (reflected polynomial 0xEDB88320, initial
// value all ones, final inversion), as stored in compressed containers.
#pragma once

#include <cstdint>
#include <span>

// The CRC of data; pass a previous result as crc to continue over more data.
// Empty data leaves crc as it is (0 for a fresh start).
uint32_t Crc32(std::span<const uint8_t> data, uint32_t crc = 0);
