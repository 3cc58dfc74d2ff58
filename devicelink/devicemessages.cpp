#include "devicemessages.h"
