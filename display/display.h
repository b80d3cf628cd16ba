// The display library's whole interface: open a display of a given size, show one
// 32-bit 0x00RRGGBB picture per call, close it again.
//
// Keys reach the program through the C runtime's console push-back: each key press
// of the window is pushed back as the low byte of its virtual-key code (A is 0x41
// with or without Shift, Escape 0x1B) while display_update handles the window's
// messages. Read it after display_update with _kbhit() and _getch(), declared in
// <conio.h> on Windows and, elsewhere, in <vorlix_display/crt.h> of the installed
// package. One code waits at a time: a key pressed before the last one was read is
// lost. Alt combinations and F10 are not handed over.
#pragma once

#include <cstdint>

// Opens the window (or the full screen) and everything behind it. Returns 1 when the
// display is ready, 0 when a step failed; a failed open keeps what it had acquired,
// for display_close to release.
int display_open(const char* title, std::int32_t width, std::int32_t height);

// Handles the window's waiting messages, then converts and shows the picture: width x
// height pixels, rows top first and back to back. Returns 0 when the surface could not
// be locked (nothing shown), else 1. Closing the window ends the process in here.
int display_update(const std::uint32_t* pixels);

// Releases whatever display_open acquired; safe after a partial or failed open.
void display_close();
