#pragma once

namespace platform {

// Answers whether another copy of the program is already running.
class ISingleInstance {
public:
    virtual ~ISingleInstance() = default;
    // True when another instance holds the claim; otherwise this process now
    // holds it until it ends.
    virtual bool AnotherInstanceRunning() = 0;
};

} // namespace platform
