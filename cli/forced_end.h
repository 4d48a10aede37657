// What a second Ctrl-C does: ends the program at once, with exit status 3,
// where the first one stops the run cleanly after the block in flight and
// may leave it waiting up to 30 s for a flash commit that does not answer.
//
// The text it prints is prepared beforehand and everything here is safe in
// a signal handler (or, on Windows, on the console handler's own thread).
#pragma once

#include <string>

namespace zema {

// The line a forced end prints on standard error ("Aborted." in the user's
// language; empty: nothing).
void PrepareForcedEnd(const std::string& text);

// Whether standard error's last line is still open (live progress lines end
// without a line end): the forced end's text then starts a line of its own.
void NoteOutputLineOpen(bool open);

// Ends the program at once, unless that would leave a file half-made: a
// READ's file being written waits for its run to stop, which takes one
// exchange, and this returns.
void EndAtOnceUnlessWriting();

}  // namespace zema
