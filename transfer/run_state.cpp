#include "transfer/run_state.h"

int g_cancelState = kCancelNone;
char g_filePath[kFilePathSize] = {};
