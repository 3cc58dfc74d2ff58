#include "orv_window.h"
void ORV_Window::setupTray() {}
void ORV_Window::quit_event() {}
void ORV_Window::open_event() {}
