#include "transfer/transfer_target.h"

TransferTarget g_transferTarget;
