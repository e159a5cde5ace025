#pragma once
// Binding natives and native-backed classes into the VM over the public C API.
//
// One way to do each thing:
//   raw native      setFunction(v, tableIdx, u"name", fn)      fn checks its own arguments
//   overloads       setOverloads(v, tableIdx, u"name", {{1, f1}, {3, f3}})   by argument count
//   value           setValue(v, tableIdx, u"name", 42)
//   class           ClassBuilder(v, tableIdx, u"Name", tag).ctor(fn).method(u"m", fn)
//                       .property(u"x", getter, setter).done()
// Instances of bound classes hold a std::shared_ptr<T> to the native object; the release hook
// drops it when the script instance goes.
#include "script/bind/Text.h"

#include <squirrel.h>

#include <initializer_list>
#include <memory>
#include <optional>
#include <utility>

namespace KoScript {

// Raises `message` as a script error; return the result from the native.
SQInteger throwScriptError(HSQUIRRELVM v, std::u16string_view message);
inline constexpr std::u16string_view kWrongParams = u"wrong number of parameters";
inline constexpr std::u16string_view kCreateFailed = u"failed create instance";
SQInteger throwWrongParams(HSQUIRRELVM v);

// One letter per parameter after `this`: i f b s o a t c x; blanks skipped. Integer and float
// accept each other; the count must match exactly; an unknown letter fails.
bool checkParams(HSQUIRRELVM v, const char* mask);

// Number of arguments after `this` of the running native (free variables excluded by the
// caller: pass their count).
inline SQInteger argCount(HSQUIRRELVM v, SQInteger freeVars = 0) {
    return sq_gettop(v) - 1 - freeVars;
}

// Reading arguments. Numbers convert between integer and float like the VM's getters.
std::optional<SQInteger> getInt(HSQUIRRELVM v, SQInteger idx);
std::optional<SQFloat> getFloat(HSQUIRRELVM v, SQInteger idx);
std::optional<bool> getBool(HSQUIRRELVM v, SQInteger idx);
std::optional<String> getString(HSQUIRRELVM v, SQInteger idx);
bool isNumber(HSQUIRRELVM v, SQInteger idx);
// The value's string form through the VM (tostring rules, _tostring honoured).
String toString(HSQUIRRELVM v, SQInteger idx);

void push(HSQUIRRELVM v, SQInteger n);
void push(HSQUIRRELVM v, SQFloat f);
void push(HSQUIRRELVM v, bool b);
void push(HSQUIRRELVM v, std::u16string_view s);
inline void push(HSQUIRRELVM v, const char16_t* s) {
    push(v, std::u16string_view(s));
}
inline void push(HSQUIRRELVM v, unsigned n) {
    push(v, SQInteger(n));
}
inline void push(HSQUIRRELVM v, double f) {
    push(v, SQFloat(f));
}
inline void push(HSQUIRRELVM v, const String& s) {
    push(v, std::u16string_view(s));
}

// Absolute index of `idx`, so later pushes do not move it.
inline SQInteger absIndex(HSQUIRRELVM v, SQInteger idx) {
    return idx < 0 ? sq_gettop(v) + idx + 1 : idx;
}

// New slots in the table (or class) at tableIdx.
void setFunction(HSQUIRRELVM v, SQInteger tableIdx, std::u16string_view name, SQFUNCTION fn,
                 bool isStatic = false);
template <class T>
void setValue(HSQUIRRELVM v, SQInteger tableIdx, std::u16string_view name, T value) {
    tableIdx = absIndex(v, tableIdx);
    push(v, name);
    push(v, value);
    sq_newslot(v, tableIdx, SQFalse);
}
// Creates (or replaces) table `name` in the table at tableIdx and leaves it pushed.
void pushNewTable(HSQUIRRELVM v, SQInteger tableIdx, std::u16string_view name);

struct Overload {
    SQInteger args; // arguments after `this`
    SQFUNCTION fn;
};
inline constexpr std::u16string_view kNoOverload = u"No overload matching this argument list found";
// A native that dispatches on the argument count alone; other counts raise kNoOverload.
// The chosen function sees the stack exactly as a directly bound one would.
void pushOverloads(HSQUIRRELVM v, std::initializer_list<Overload> overloads);
void setOverloads(HSQUIRRELVM v, SQInteger tableIdx, std::u16string_view name,
                  std::initializer_list<Overload> overloads, bool isStatic = false);

// Identity of a bound class: the VM's type tag points here, and the VM's registry keeps the
// class under this address. One native type per class hierarchy: every class of a hierarchy
// holds the same std::shared_ptr<T> (the root's T), so a base tag finds derived instances.
struct ClassTag {
    const char* name;
};
// Pushes tag's class as bound in this VM; false (nothing pushed) if it is not bound.
bool pushClass(HSQUIRRELVM v, const ClassTag& tag);

// Attaches `obj` to the instance at idx; the release hook frees the holder.
template <class T>
void setInstance(HSQUIRRELVM v, SQInteger idx, std::shared_ptr<T> obj);
// The native object of the instance at idx if it is of `tag`'s class (or derived from it).
template <class T>
std::shared_ptr<T> getInstance(HSQUIRRELVM v, SQInteger idx, const ClassTag& tag);
// The same object borrowed: no reference of its own, valid while the instance lives (a native
// reading its own arguments needs no more). Cheaper than getInstance on paths run per draw.
template <class T>
T* peekInstance(HSQUIRRELVM v, SQInteger idx, const ClassTag& tag);
// Pushes a new instance of tag's class holding obj, without running the constructor.
template <class T>
T* peekInstance(HSQUIRRELVM v, SQInteger idx, const ClassTag& tag) {
    if (sq_gettype(v, idx) != OT_INSTANCE) return nullptr;
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, idx, &p, const_cast<ClassTag*>(&tag))) || !p) return nullptr;
    return static_cast<std::shared_ptr<T>*>(p)->get();
}

template <class T>
bool pushInstance(HSQUIRRELVM v, const ClassTag& tag, std::shared_ptr<T> obj);

class ClassBuilder {
public:
    // Creates class `name` (derived from base, if given) in the table at tableIdx.
    ClassBuilder(HSQUIRRELVM v, SQInteger tableIdx, std::u16string_view name, const ClassTag& tag,
                 const ClassTag* base = nullptr);
    ClassBuilder& ctor(SQFUNCTION fn);
    ClassBuilder& method(std::u16string_view name, SQFUNCTION fn);
    ClassBuilder& overloads(std::u16string_view name, std::initializer_list<Overload> list);
    ClassBuilder& staticMethod(std::u16string_view name, SQFUNCTION fn);
    template <class T>
    ClassBuilder& constant(std::u16string_view name, T value) {
        push(v_, name);
        push(v_, value);
        sq_newslot(v_, classIdx_, SQTrue);
        return *this;
    }
    // A read-write (setter given) or read-only property, served by _get/_set. The getter is
    // called as a method without arguments, the setter with the new value.
    ClassBuilder& property(std::u16string_view name, SQFUNCTION getter,
                           SQFUNCTION setter = nullptr);
    // Finishes the class and pops everything the builder pushed.
    void done();

private:
    HSQUIRRELVM v_;
    SQInteger top_;
    SQInteger tableIdx_;
    SQInteger classIdx_ = 0;
    SQInteger gettersIdx_ = 0;
    SQInteger settersIdx_ = 0;
    String name_;
    const ClassTag& tag_;
};

// --- implementation of the templates ---------------------------------------------------------

namespace detail {
template <class T>
SQInteger releaseHolder(SQUserPointer p, SQInteger) {
    delete static_cast<std::shared_ptr<T>*>(p);
    return 1;
}
} // namespace detail

template <class T>
void setInstance(HSQUIRRELVM v, SQInteger idx, std::shared_ptr<T> obj) {
    if (sq_gettype(v, idx) != OT_INSTANCE) return; // a constructor called as a plain function
    SQUserPointer old = nullptr;
    if (SQ_SUCCEEDED(sq_getinstanceup(v, idx, &old, nullptr)) && old)
        delete static_cast<std::shared_ptr<T>*>(old); // constructor called twice
    sq_setinstanceup(v, idx, new std::shared_ptr<T>(std::move(obj)));
    sq_setreleasehook(v, idx, &detail::releaseHolder<T>);
}

template <class T>
std::shared_ptr<T> getInstance(HSQUIRRELVM v, SQInteger idx, const ClassTag& tag) {
    if (sq_gettype(v, idx) != OT_INSTANCE) return nullptr;
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, idx, &p, const_cast<ClassTag*>(&tag))) || !p) return nullptr;
    return *static_cast<std::shared_ptr<T>*>(p);
}

template <class T>
bool pushInstance(HSQUIRRELVM v, const ClassTag& tag, std::shared_ptr<T> obj) {
    if (!obj || !pushClass(v, tag)) return false;
    bool ok = SQ_SUCCEEDED(sq_createinstance(v, -1));
    if (ok) {
        setInstance(v, -1, std::move(obj));
        sq_remove(v, -2);
    } else {
        sq_poptop(v);
    }
    return ok;
}

} // namespace KoScript
