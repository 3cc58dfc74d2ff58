#include "orv_window.h"
void ORV_Window::onCellDoubleClicked(int, int) {}
bool ORV_Window::isVersionAtLeast(const QString &, const QString &) { return false; }
