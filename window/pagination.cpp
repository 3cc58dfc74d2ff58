#include "orv_window.h"
void ORV_Window::setupTableHeader() {}
void ORV_Window::buildPagination() {}
void ORV_Window::fillCurrentPage() {}
void ORV_Window::goToPage(int) {}
void ORV_Window::goToPreviousPage() {}
void ORV_Window::goToNextPage() {}
void ORV_Window::retranslateDeviceTable() {}
