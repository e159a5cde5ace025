// Generators: a suspended script frame with its own registers and traps.
#pragma once
#include "functions.h"

struct SQExceptionTrap {
    SQInteger stackbase;     // base of the frame that pushed the trap (relative for generators)
    const SQInstruction* ip; // catch target
    SQInteger extarget;      // register receiving the error
    SQInteger frame;         // index of the frame that owns it
    SQInteger _unused = 0;   // 32 bytes: every frame push and pop counts the traps
};

struct SQGenerator : SQRefCounted {
    enum State { eRunning, eSuspended, eDead };
    SQObjectPtr _closure;
    std::vector<SQObjectPtr> _stack;
    std::vector<SQExceptionTrap> _traps;
    const SQInstruction* _ip = nullptr;
    SQOuter* _openouters = nullptr; // outers into _stack while suspended
    State _state = eSuspended;
    static SQGenerator* Create(SQSharedState* ss, SQClosure* c);
    ~SQGenerator() override;
    SQObjectType GetType() override { return OT_GENERATOR; }
    void Finalize() override;
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override;
    void Kill();
};
