#pragma once

#include <functional>

#include "platform/Thread.h"

// The synchronisation service: hands calls from any thread to the user-interface thread and
// blocks each caller until its call has run there. One process-wide first-in-first-out list of
// requests; each request has a wait of its own.
namespace quillora {

// Makes the calling thread the user-interface thread. The program calls it at start-up; until
// then the thread that initialised the program (the one that runs main) counts as it.
void RecordUserInterfaceThread();
bool IsUserInterfaceThread() noexcept;

// Called on the requesting thread, outside the service's lock, each time a request from
// another thread has been queued; the program makes it wake the user-interface thread, which
// then serves the list. Empty: nobody is woken, the requests wait for the next serving. When
// this returns, no call of the previous hook is still running and none will start.
void SetWakeUserInterfaceHook(std::function<void()> hook);

// Runs method on the user-interface thread and returns after it has run there. Called on the
// user-interface thread it runs the method at once; from any other thread it queues it, wakes
// the user-interface thread and waits, with no time-out. Whatever the method throws is thrown
// again here, on the calling thread.
void SynchronizeCall(const std::function<void()>& method);

// Serves the list: takes every request queued so far and runs them in the order they were
// made, each outside the service's lock, waking each requester when its call has run. A call
// that is served may serve again (a modal dialog's loop does). Returns whether any call ran.
// On any thread other than the user-interface thread it does nothing and returns false.
bool CheckSynchronize();

}  // namespace quillora
