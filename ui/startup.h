// The start-up of the program, in the order the device needs: the key board probe and
// the services before the application object exists, the panel after it.
#pragma once

namespace startup {

// Waits for the key board to settle, probes it, and creates the singletons of the core
// and of the worker threads.
void beforeApplication();
// Creates the two windows with the home screen in front, places the keypad, starts the
// 10 ms tick, wires the refresh relay, sends the first key-LED report and starts the
// USB-stick watcher. Needs the application object.
void afterApplication();
// Stops every worker thread started above and waits for each, so that none still runs
// while the process's static objects (their wake-ups, the shared locks) are destroyed.
void stopThreads();

}  // namespace startup
