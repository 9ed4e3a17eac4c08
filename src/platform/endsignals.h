#pragma once
// SIGINT, SIGTERM and SIGHUP end the run in order, as closing the window does but without the
// exit question. The handlers only record the signal; the frame loop looks for it between frames.
// Once the end has begun, a further signal stops the process at once with status 128 + its
// number, touching no file.

namespace ruko {

// Installs the handlers, in place of any SDL would install. A SIGHUP ignored when the player
// started (nohup) stays ignored.
void InstallEndSignals();
// The first end signal received; 0 while none.
int EndSignalReceived();
// The end has begun (by a signal or otherwise): from now on any end signal stops at once.
void BeginOrderlyEnd();

} // namespace ruko
