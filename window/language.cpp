#include "orv_window.h"
bool ORV_Window::loadTranslation() { return false; }
void ORV_Window::language_changed(QAction *) {}
