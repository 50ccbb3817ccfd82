#pragma once
// Single instance: the named mutex becomes an exclusive lock on a per-user lock file, and a
// local socket lets a second instance ask the running one to raise its window.
namespace tu::platform {

enum class InstanceResult { Acquired, OtherRunning, Unguarded };

// Takes the guard named `name`. Unguarded means the lock folder is unusable: the caller
// starts anyway (the reason was written to stderr). OtherRunning: the running instance was
// asked to come to the front.
InstanceResult AcquireInstance(const char* name);
// Releases the lock and stops listening. Safe to call when nothing is held.
void ReleaseInstance();
// True once the guard is held (the handle of the named mutex).
bool InstanceHeld();
// Polled by the message pump: true when another instance asked us to come to the front.
bool TakeRaiseRequest();

}  // namespace tu::platform
