/*
 * CRC-32 as ZIP, PNG and Ethernet compute it (the polynomial 0x04C11DB7,
 * bits reflected, register and result inverted): the checksum of the payload
 * records. "123456789" gives 0xCBF43926.
 *
 * Plain C++ (no <windows.h>): the setup program, the packaging tool, the
 * tests and the fuzzer share this one implementation.
 */
#ifndef SETUP_EXTRACT_CRC32_H
#define SETUP_EXTRACT_CRC32_H

#include <cstddef>
#include <cstdint>

/* The CRC-32 of the bytes so far (dwCrc, 0 before the first) followed by the
   cb bytes at pv: bytes fed in pieces give the CRC-32 of them all. */
uint32_t Crc32Update(uint32_t dwCrc, const void *pv, size_t cb);

#endif
