// Entry point of rings_window and rings_fullscreen: they differ only in the display
// presentation they link.
#include "demo/demo.h"

int main() { demo_run(); }
