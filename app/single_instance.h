#pragma once

#include <QLockFile>
#include <memory>

// One Parlix per settings store. A second one (the login's autostart and the menu entry
// both, say) would record and type every dictation twice, and its start of the local
// server would end the first one's.
class SingleInstance {
public:
    // Held for as long as this object lives. False only when a running Parlix holds the
    // lock; a lock that cannot be written at all lets this one run.
    bool acquire();

private:
    std::unique_ptr<QLockFile> m_lock;
};

// Tells the person who started a second Parlix where the first one is: a standard-output
// line and a desktop notification, sent before this process ends.
void reportAlreadyRunning();
