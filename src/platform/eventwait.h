#pragma once

#include <functional>

// Runs the event loop, without user input, until done() holds or timeoutMs have passed.
// done() is asked each time the events at hand are handled, and every few milliseconds
// besides. Returns done()'s last answer.
bool WaitInEventLoop(const std::function<bool()>& done, int timeoutMs);
