// C-runtime calls of the Windows runtime library that the system uses, with their
// real names and constant values.
#pragma once

#include <cstdio>   // EOF
#include <cstdlib>  // exit

#define _MCW_EM 0x0008001Fu
#define _MCW_RC 0x00000300u
#define _MCW_PC 0x00030000u
#define _PC_64 0x00000000u
#define _PC_53 0x00010000u
#define _PC_24 0x00020000u
#define _RC_NEAR 0x00000000u
#define _RC_DOWN 0x00000100u
#define _RC_UP 0x00000200u
#define _RC_CHOP 0x00000300u
#define _EM_INEXACT 0x00000001u
#define _EM_UNDERFLOW 0x00000002u
#define _EM_OVERFLOW 0x00000004u
#define _EM_ZERODIVIDE 0x00000008u
#define _EM_INVALID 0x00000010u
#define _EM_DENORMAL 0x00080000u

// Sets the bits of the x87 control word named by mask (precision, rounding,
// exception masks) to those of new_value; returns the resulting control word.
unsigned int _controlfp(unsigned int new_value, unsigned int mask);

// Formats value with digits significant digits into buffer as the Windows
// runtime does: fixed notation with the decimal point always kept ("60.",
// "0."), exponent form ("1.5e+020") when the exponent is below -4 or not below
// digits; trailing zeros after the point are dropped. Returns buffer.
char* _gcvt(double value, int digits, char* buffer);

// The console keyboard. This stand-in has no console, so only codes pushed back
// with _ungetch are ever pending; _ungetch holds one code and refuses a second
// (returns EOF) while one waits.
int _kbhit(void);
// Returns the pushed-back code, or EOF at once when none waits (no console to
// wait on).
int _getch(void);
int _ungetch(int c);
