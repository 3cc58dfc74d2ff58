#include "payloadcodec.h"
// TODO: codec
