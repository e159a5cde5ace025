// Function prototypes (compiled code), outers, script closures and native closures.
#pragma once
#include "value.h"

enum SQOpcode : uint8_t;

struct SQInstruction {
    uint8_t op, a, b, c;
    int32_t x;
};

struct SQOuterVarInfo {
    SQObjectPtr name;
    bool fromlocal; // register of the enclosing function, else its outer index
    SQInteger index;
};
struct SQLocalVarInfo {
    SQObjectPtr name;
    SQInteger reg;
    SQInteger start_op, end_op; // live in [start_op, end_op)
};
struct SQLineInfo {
    SQInteger op, line;
};

struct SQFunctionProto : SQRefCounted {
    std::vector<SQInstruction> _code;
    std::vector<SQObjectPtr> _literals;
    std::vector<SQObjectPtr> _functions;
    std::vector<SQOuterVarInfo> _outers;
    std::vector<SQLocalVarInfo> _locals;
    std::vector<SQLineInfo> _lines;
    SQObjectPtr _name, _sourcename;
    SQInteger _nparams = 1; // including `this` (and vargv for varargs)
    SQInteger _ndefaults = 0;
    SQInteger _stacksize = 2;
    bool _varparams = false;
    bool _generator = false;
    static SQFunctionProto* Create(SQSharedState* ss);
    SQObjectType GetType() override { return OT_FUNCPROTO; }
    SQInteger GetLine(SQInteger op) const;
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override {
        for (auto& v : _literals) fn(ud, v);
        for (auto& v : _functions) fn(ud, v);
    }
};

struct SQOuter : SQRefCounted {
    SQObjectPtr* _valptr; // points into a stack while open, at _value once closed
    SQObjectPtr _value;
    SQOuter* _nextopen = nullptr; // open list of the owning stack, by descending address
    SQObjectType GetType() override { return OT_OUTER; }
    void Finalize() override { _value.Null(); }
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override {
        if (_valptr == &_value) fn(ud, _value);
    }
};

struct SQClosure : SQRefCounted {
    SQFunctionProto* _function;    // counted
    std::vector<SQOuter*> _outers; // counted
    std::vector<SQObjectPtr> _defaults;
    SQObjectPtr _env;         // weak reference or null
    SQClass* _base = nullptr; // class the method was added to (not counted: the class holds us)
    static SQClosure* Create(SQSharedState* ss, SQFunctionProto* f);
    ~SQClosure() override;
    SQObjectType GetType() override { return OT_CLOSURE; }
    void Finalize() override;
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override;
    SQClosure* Clone(SQSharedState* ss);
};

struct SQNativeClosure : SQRefCounted {
    SQFUNCTION _function;
    std::vector<SQObjectPtr> _outers;
    SQObjectPtr _name;
    SQObjectPtr _env;
    SQInteger _nparamscheck = 0;
    std::vector<SQInteger> _typecheck;
    static SQNativeClosure* Create(SQSharedState* ss, SQFUNCTION f, SQInteger nouters);
    SQObjectType GetType() override { return OT_NATIVECLOSURE; }
    void Finalize() override {
        _outers.clear();
        _env.Null();
    }
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override {
        for (auto& v : _outers) fn(ud, v);
        fn(ud, _env);
    }
    SQNativeClosure* Clone(SQSharedState* ss);
};
