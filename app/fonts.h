#pragma once

// Puts installed families of about the same widths in place of the Windows fonts that the
// forms ask for, where those are missing: on Linux (fonts_unix.cpp), and on Windows nothing
// (fonts_win.cpp). Call it before the first window is made.
void substituteWindowsFonts();
