#include "devicesim.h"
