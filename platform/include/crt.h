// C-runtime calls of the Windows runtime library that the system uses, with their
// real names and constant values.
#pragma once

#include <cstdio>   // EOF
#include <cstdlib>  // exit

#define _MCW_PC 0x00030000u
#define _PC_64 0x00000000u
#define _PC_53 0x00010000u
#define _PC_24 0x00020000u

// Sets the x87 precision control to that of new_value when mask names it
// (_MCW_PC; the demo asks for _PC_64, nothing else); returns the precision it
// leaves. Rounding and exception masks are left as they are, and not reported:
// nothing reads them.
unsigned int _controlfp(unsigned int new_value, unsigned int mask);

// Formats a whole number of at most digits digits into buffer as the Windows
// runtime does, the decimal point kept ("60.", "0."): the demo's frame rates.
// Other values come out as printf's %g of digits digits. Returns buffer.
char* _gcvt(double value, int digits, char* buffer);

// The console keyboard. This stand-in has no console, so only a code pushed back
// with _ungetch is ever pending: _ungetch refuses a second (EOF) while one waits,
// and _getch returns EOF at once when none does.
int _kbhit(void);
int _getch(void);
int _ungetch(int c);
