#pragma once
// Without a session bus to join (no address given, none at the standard place), the toolkit's
// accessibility bridge would make the bus library start one: a fork and a daemon that outlives
// the viewer, for a bus no screen reader listens on.

namespace lumivane {

// The bus address to set so that looking the session bus up fails at once ("disabled:"), or null
// when the session has a bus: an address is given, or a socket waits at <RuntimeDirectory>/bus.
const char* SessionBusAddressToSet(const char* GivenAddress, const char* RuntimeDirectory);

// Sets that address in the environment. Call it before any thread starts: the environment may
// only change while nothing else can read it.
void KeepSessionBusFromStarting(const char* GivenAddress, const char* RuntimeDirectory);

}  // namespace lumivane
