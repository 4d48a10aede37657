// READ and WRITE copy the main dialog's choices into the run's target.
#include <gtest/gtest.h>

#include "console/transfer_choices.h"
#include "res/dialog_templates.h"
#include "tests/support/fake_dialogs.h"

namespace zema {

namespace {

TEST(TransferChoices, EachControlLandsInItsOwnField) {
  // Every box differs from its neighbours, so two fields read from swapped
  // controls show up.
  FakeControls controls;
  controls.SetControlText(kCtlBaseName, "/data/line1");
  controls.SetChecked(kCtlCommonParams, true);
  controls.SetChecked(kCtlBrightComp, false);
  controls.SetChecked(kCtlBankParams, true);
  controls.SetChecked(kCtlPatterns, false);
  controls.SetListSelection(kCtlStartBank, 9);
  controls.SetListSelection(kCtlEndBank, 4);

  TransferTarget target;
  FillTransferTarget(controls, kDirectionWrite, target);
  EXPECT_EQ(target.direction, kDirectionWrite);
  EXPECT_EQ(target.baseName, "/data/line1");
  EXPECT_EQ(target.commonParams, 1);
  EXPECT_EQ(target.brightComp, 0);
  EXPECT_EQ(target.bankParams, 1);
  EXPECT_EQ(target.patterns, 0);
  EXPECT_EQ(target.startBank, 9) << "an empty range is passed on as chosen";
  EXPECT_EQ(target.endBank, 4);

  controls.SetChecked(kCtlBrightComp, true);
  controls.SetChecked(kCtlCommonParams, false);
  FillTransferTarget(controls, kDirectionRead, target);
  EXPECT_EQ(target.direction, kDirectionRead);
  EXPECT_EQ(target.brightComp, 1);
  EXPECT_EQ(target.commonParams, 0);
}

}  // namespace

}  // namespace zema
