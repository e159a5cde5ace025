// Function prototypes (compiled code), outers, script closures and native closures.
#pragma once
#include "value.h"
#include <cstdlib>
#include <cstring>
#include <new>

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

// What a call through a constant member name (`obj.name(...)`) last found on an instance: the
// class's layout stamp and the member's encoded slot (classes.h). One entry per literal.
struct SQMemberCache {
    uint64_t stamp = 0; // 0: empty (stamps start at 1)
    SQInteger member = 0;
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
    // The argument count of a call that needs only a frame (no varargs, not a generator), -1
    // for none; set by Seal once the rest is known.
    SQInteger _plainnargs = -1;
    void Seal() { _plainnargs = _varparams || _generator ? -1 : _nparams; }
    std::vector<SQMemberCache> _membercache; // sized on the first instance call (interp.cpp)
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
    static void* operator new(size_t n);
    static void operator delete(void* p, size_t n);
    SQObjectType GetType() override { return OT_OUTER; }
    void Finalize() override { _value.Null(); }
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override {
        if (_valptr == &_value) fn(ud, _value);
    }
};

// A closure's outers (counted by the closure): most closures capture a few, kept inside the
// closure object itself instead of in an allocation of their own.
class SQOuterList {
public:
    SQOuterList() = default;
    SQOuterList(const SQOuterList&) = delete;
    SQOuterList& operator=(const SQOuterList& o) {
        if (this != &o) {
            _size = 0;
            reserve(o._size);
            for (SQOuter* p : o) _data[_size++] = p;
        }
        return *this;
    }
    ~SQOuterList() {
        if (_data != _inline) free(_data);
    }
    size_t size() const { return _size; }
    bool empty() const { return _size == 0; }
    SQOuter*& operator[](size_t i) { return _data[i]; }
    SQOuter* operator[](size_t i) const { return _data[i]; }
    SQOuter** begin() { return _data; }
    SQOuter** end() { return _data + _size; }
    SQOuter* const* begin() const { return _data; }
    SQOuter* const* end() const { return _data + _size; }
    void reserve(size_t n) {
        if (n > _cap) grow(n);
    }
    void push_back(SQOuter* o) {
        if (_size == _cap) grow(_cap * 2);
        _data[_size++] = o;
    }
    // Moves every entry of `from` into this list, which must be empty; `from` is left empty.
    void take(SQOuterList& from) {
        reserve(from._size);
        for (SQOuter* p : from) _data[_size++] = p;
        from._size = 0;
    }

private:
    void grow(size_t n) {
        SQOuter** d = static_cast<SQOuter**>(malloc(n * sizeof(SQOuter*)));
        if (!d) throw std::bad_alloc();
        if (_size) memcpy(d, _data, _size * sizeof(SQOuter*));
        if (_data != _inline) free(_data);
        _data = d;
        _cap = (uint32_t)n;
    }
    SQOuter* _inline[4];
    SQOuter** _data = _inline;
    uint32_t _size = 0, _cap = 4;
};

struct SQClosure : SQRefCounted {
    SQFunctionProto* _function; // counted
    SQOuterList _outers;
    std::vector<SQObjectPtr> _defaults;
    SQObjectPtr _env;         // weak reference or null
    SQClass* _base = nullptr; // class the method was added to (not counted: the class holds us)
    static SQClosure* Create(SQSharedState* ss, SQFunctionProto* f);
    static void* operator new(size_t n);
    static void operator delete(void* p, size_t n);
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
    // A math function of one number (sqrt, sin ...): called straight from the interpreter
    // when its argument is a number. Not copied by Clone (a bound copy takes the native path).
    double (*_floatfn)(double) = nullptr;
    // A built-in method (len, tointeger, push ...) called straight from the interpreter on its
    // one or two arguments (`this` first), which it may move from; its result is never a
    // counted value. False (before any change) sends the call down the native path.
    bool (*_fastfn)(SQObjectPtr* args, SQInteger nargs, SQObject& res) = nullptr;
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
