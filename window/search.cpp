#include "orv_window.h"
void ORV_Window::on_search_button_clicked() {}
void ORV_Window::showSearchDeviceTableInfos(cJSON *) {}
