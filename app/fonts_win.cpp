#include "app/fonts.h"

// Windows has the families the forms ask for: "Segoe UI" is its own user interface font, and
// it finds "黑体" (SimHei) and "宋体" (SimSun) by their Chinese names, with its own fallback for
// a system that lacks them.
void substituteWindowsFonts()
{
}
