// What the SDL platform does differently from one system to another, one file per system:
// system_linux.cpp here, platform/windows/sdl_system.cpp for Windows.
#pragma once

// Before SDL's video starts: the video driver to prefer where SDL has a choice, unless the
// environment names one. switchesMode is true for the full screen that switches the display's
// mode (on Linux only X11 can; a window needs no switch and may fall back to Wayland).
// Returns true when the switch left out the Wayland compositor the session names, so that a
// full screen refused its display can say where the demo runs instead.
bool preferVideoDriver(bool switchesMode);

// Before SDL's audio starts: the system sound library's own diagnostics quieted, where it
// prints any.
void quietSoundLibrary();
