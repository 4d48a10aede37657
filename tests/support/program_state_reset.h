// The one place that puts the program-wide state back before each test:
// English texts, no stale link failure, no cancel request, no file path,
// no port and an empty transfer target. Both test programs install it, so
// fixtures only set up what their own test needs.
#pragma once

void ResetProgramState();

// Registers ResetProgramState with GoogleTest to run as each test starts,
// before its fixture is built, and points the transfer log of the process
// and the programs it starts (XDG_STATE_HOME) at a folder of its own. Call
// once, after InitGoogleTest.
void ResetProgramStateBeforeEachTest();
