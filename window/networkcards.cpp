#include "orv_window.h"
void ORV_Window::fillNetworkCards() {}
