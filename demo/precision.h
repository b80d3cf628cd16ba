#pragma once

// Puts the floating-point unit in its default state (exceptions masked, rounding
// to nearest) and then selects the 64-bit significand the renderer relies on.
void precision_setup();
