#pragma once

// The public key of the document signature: big-endian modulus and exponent,
// compiled in from a key file at build time.
enum { CTRL_PUBLIC_MODULUS_SIZE = 128, CTRL_PUBLIC_EXPONENT_SIZE = 3 };
extern const unsigned char CTRL_kaucPublicModulus[CTRL_PUBLIC_MODULUS_SIZE];
extern const unsigned char CTRL_kaucPublicExponent[CTRL_PUBLIC_EXPONENT_SIZE];
