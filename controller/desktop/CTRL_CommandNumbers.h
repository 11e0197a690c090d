#pragma once

// The numbers of the command line and of the --input file, written one way
// in both: in decimal, with nothing around them.
// - A whole number is digits, after a minus sign where negative values are
//   allowed: "800", "-2". No plus sign, spaces, hexadecimal or exponent.
// - A number is a whole number with an optional fraction (".5", "2.",
//   "0.02") and exponent ("1e3", "2.5E-2"), finite: no plus sign in front,
//   no spaces, hexadecimal, "inf" or "nan".

// Reads text as a whole number from min to max into value; false (value
// unchanged) for anything else, also for a value out of range, which never
// wraps.
bool CTRL_readWhole(const char *text, long min, long max, long &value);

// Reads text as a number into value; false (value unchanged) for anything
// else.
bool CTRL_readNumber(const char *text, double &value);
