#pragma once
#include <squirrel.h>

#include <string>

namespace KoPlayhost {

// The game script (start.nut), run one frame at a time: each step runs it until it suspends
// the VM or ends.
class ScriptRunner {
public:
    enum State { Empty = 0, Ready = 1, Suspended = 2, Finished = 3 };

    explicit ScriptRunner(HSQUIRRELVM v) : vm_(v) { sq_resetobject(&closure_); }
    ~ScriptRunner() { release(); }
    ScriptRunner(const ScriptRunner&) = delete;
    ScriptRunner& operator=(const ScriptRunner&) = delete;

    // Compiles the file; a syntax error is reported through the VM's compiler handler.
    bool compile(const std::u16string& fileName);
    // Runs the next slice; false when there is nothing to run.
    bool step();
    void release();
    State state() const { return state_; }

private:
    HSQUIRRELVM vm_;
    HSQOBJECT closure_;
    State state_ = Empty;
    SQInteger baseTop_ = 0;
};

} // namespace KoPlayhost
