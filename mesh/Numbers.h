#pragma once

// Number conversion for the OBJ and MTL readers, with the results of the C
// runtime's strtod and of a saturating atoi, on words that are not
// zero-terminated. Text that does not start with a number gives 0; text after
// the leading numeric part is ignored.

// The value of the leading numeric part of [begin, end), exactly as strtod
// reads it (correctly rounded, hexadecimal, "inf" and "nan" included).
double toDouble(const char* begin, const char* end);

// Leading blanks, an optional sign, decimal digits; clamped to the int range.
int toInt(const char* begin, const char* end);
