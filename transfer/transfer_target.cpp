#include "transfer/transfer_target.h"

#include "link/commands.h"

TransferTarget g_transferTarget;

bool SelectsAnyItem(const TransferTarget& target) {
  if (target.commonParams != 0 || target.brightComp != 0) return true;
  if (target.bankParams == 0 && target.patterns == 0) return false;
  for (int bank = 0; bank < kBankCount; ++bank) {
    if (BankInRange(target, bank)) return true;
  }
  return false;
}
