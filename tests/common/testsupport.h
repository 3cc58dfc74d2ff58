#pragma once

// What the tests share: the core part (log capture, device builders, timing checks; no widgets,
// library orv_testcore) and the window part (message boxes, window helpers; orv_testsupport).

#include "tests/common/testcore.h"
#include "tests/common/testwindow.h"
