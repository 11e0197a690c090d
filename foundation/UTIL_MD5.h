#pragma once

#include <cstdint>

// MD5 (RFC 1321). The digest is left in the context by UTIL_md5Final.
struct UTIL_MD5Context {
    uint32_t m_auiBitCount[2]; // message length in bits, low word first
    uint32_t m_auiState[4];    // chaining words A, B, C, D
    unsigned char m_aucBuffer[64];
    unsigned char m_aucDigest[16];
};

void UTIL_md5Init(UTIL_MD5Context *context);
void UTIL_md5Update(UTIL_MD5Context *context, const unsigned char *bytes, uint32_t length);
void UTIL_md5Final(UTIL_MD5Context *context);
void UTIL_md5Transform(uint32_t state[4], const unsigned char block[64]);

// Digest of a buffer of any size (fed to UTIL_md5Update in 32-bit pieces).
void UTIL_md5(const unsigned char *bytes, uint64_t length, unsigned char digest[16]);
