// Tests of the windowing stand-in: its state forgotten between tests. Only its own tests compile it (user_reset_test.cpp).
#pragma once

// Destroys every window without sending messages, and empties the queue, the quit request, capture, clip, focus
// and key state.
void Win32ResetForTests(void);
