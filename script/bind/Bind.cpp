#include "script/bind/Bind.h"

#include <cstring>
#include <vector>

namespace KoScript {

SQInteger throwScriptError(HSQUIRRELVM v, std::u16string_view message) {
    String text(message.substr(0, 511)); // natives format into 512 characters
    return sq_throwerror(v, text.c_str());
}

SQInteger throwWrongParams(HSQUIRRELVM v) {
    return throwScriptError(v, kWrongParams);
}

bool checkParams(HSQUIRRELVM v, const char* mask) {
    SQInteger n = 0;
    SQInteger args = sq_gettop(v) - 1;
    for (const char* m = mask; *m; ++m) {
        if (*m == ' ') continue;
        ++n;
        if (n > args) return false;
        SQObjectType t = sq_gettype(v, n + 1);
        bool ok = false;
        switch (*m) {
        case 'i':
        case 'f':
            ok = t == OT_INTEGER || t == OT_FLOAT;
            break;
        case 'b':
            ok = t == OT_BOOL;
            break;
        case 's':
            ok = t == OT_STRING;
            break;
        case 'o':
            ok = t == OT_NULL;
            break;
        case 'a':
            ok = t == OT_ARRAY;
            break;
        case 't':
            ok = t == OT_TABLE;
            break;
        case 'c':
            ok = t == OT_CLOSURE || t == OT_NATIVECLOSURE;
            break;
        case 'x':
            ok = t == OT_INSTANCE;
            break;
        default:
            return false;
        }
        if (!ok) return false;
    }
    return n == args;
}

std::optional<SQInteger> getInt(HSQUIRRELVM v, SQInteger idx) {
    SQInteger i;
    if (SQ_FAILED(sq_getinteger(v, idx, &i))) return std::nullopt;
    return i;
}

std::optional<SQFloat> getFloat(HSQUIRRELVM v, SQInteger idx) {
    SQFloat f;
    if (SQ_FAILED(sq_getfloat(v, idx, &f))) return std::nullopt;
    return f;
}

std::optional<bool> getBool(HSQUIRRELVM v, SQInteger idx) {
    SQBool b;
    if (SQ_FAILED(sq_getbool(v, idx, &b))) return std::nullopt;
    return b != 0;
}

std::optional<String> getString(HSQUIRRELVM v, SQInteger idx) {
    const SQChar* s;
    if (SQ_FAILED(sq_getstring(v, idx, &s))) return std::nullopt;
    return String(s, size_t(sq_getsize(v, idx)));
}

bool isNumber(HSQUIRRELVM v, SQInteger idx) {
    SQObjectType t = sq_gettype(v, idx);
    return t == OT_INTEGER || t == OT_FLOAT;
}

String toString(HSQUIRRELVM v, SQInteger idx) {
    idx = absIndex(v, idx);
    if (SQ_FAILED(sq_tostring(v, idx))) return String();
    String s = getString(v, -1).value_or(String());
    sq_poptop(v);
    return s;
}

void push(HSQUIRRELVM v, SQInteger n) {
    sq_pushinteger(v, n);
}
void push(HSQUIRRELVM v, SQFloat f) {
    sq_pushfloat(v, f);
}
void push(HSQUIRRELVM v, bool b) {
    sq_pushbool(v, b ? SQTrue : SQFalse);
}
void push(HSQUIRRELVM v, std::u16string_view s) {
    sq_pushstring(v, s.data(), SQInteger(s.size()));
}

void setFunction(HSQUIRRELVM v, SQInteger tableIdx, std::u16string_view name, SQFUNCTION fn,
                 bool isStatic) {
    tableIdx = absIndex(v, tableIdx);
    push(v, name);
    sq_newclosure(v, fn, 0);
    String n(name);
    sq_setnativeclosurename(v, -1, n.c_str());
    sq_newslot(v, tableIdx, isStatic ? SQTrue : SQFalse);
}

void pushNewTable(HSQUIRRELVM v, SQInteger tableIdx, std::u16string_view name) {
    tableIdx = absIndex(v, tableIdx);
    push(v, name);
    sq_newtable(v);
    sq_newslot(v, tableIdx, SQFalse);
    push(v, name);
    sq_rawget(v, tableIdx);
}

namespace {

struct OverloadSet {
    SQInteger count;
    Overload entries[8];
};

SQInteger dispatchOverload(HSQUIRRELVM v) {
    SQUserPointer p = nullptr;
    sq_getuserdata(v, -1, &p, nullptr);
    auto* set = static_cast<const OverloadSet*>(p);
    SQInteger args = sq_gettop(v) - 2; // `this` and the free variable
    for (SQInteger i = 0; set && i < set->count; ++i) {
        if (set->entries[i].args == args) {
            sq_poptop(v); // the callee sees only `this` and its arguments
            return set->entries[i].fn(v);
        }
    }
    return throwScriptError(v, kNoOverload);
}

} // namespace

void pushOverloads(HSQUIRRELVM v, std::initializer_list<Overload> overloads) {
    auto* set = static_cast<OverloadSet*>(sq_newuserdata(v, sizeof(OverloadSet)));
    set->count = 0;
    for (const Overload& o : overloads)
        if (set->count < SQInteger(std::size(set->entries))) set->entries[set->count++] = o;
    sq_newclosure(v, dispatchOverload, 1);
}

void setOverloads(HSQUIRRELVM v, SQInteger tableIdx, std::u16string_view name,
                  std::initializer_list<Overload> overloads, bool isStatic) {
    tableIdx = absIndex(v, tableIdx);
    push(v, name);
    pushOverloads(v, overloads);
    String n(name);
    sq_setnativeclosurename(v, -1, n.c_str());
    sq_newslot(v, tableIdx, isStatic ? SQTrue : SQFalse);
}

namespace {

// Property access: _get/_set carry the accessor table as their free variable. A missing name
// throws null, which the VM reports as a missing index like for any other object.
SQInteger propertyGet(HSQUIRRELVM v) {
    // 1 this, 2 key, 3 getters
    sq_push(v, 2);
    if (SQ_FAILED(sq_get(v, 3))) {
        sq_pushnull(v);
        return sq_throwobject(v);
    }
    sq_push(v, 1);
    if (SQ_FAILED(sq_call(v, 1, SQTrue, SQTrue))) return SQ_ERROR;
    return 1;
}

SQInteger propertySet(HSQUIRRELVM v) {
    // 1 this, 2 key, 3 value, 4 setters
    sq_push(v, 2);
    if (SQ_FAILED(sq_get(v, 4))) {
        sq_pushnull(v);
        return sq_throwobject(v);
    }
    sq_push(v, 1);
    sq_push(v, 3);
    if (SQ_FAILED(sq_call(v, 2, SQFalse, SQTrue))) return SQ_ERROR;
    return 0;
}

// Bound classes and their accessor tables live in the registry, keyed by the tag's address,
// so they last exactly as long as the VM and any thread of it can find them.
enum Slot { CLASS = 0, GETTERS = 1, SETTERS = 2 };

SQUserPointer registryKey(const ClassTag& tag, Slot slot) {
    return const_cast<char*>(reinterpret_cast<const char*>(&tag) + slot);
}

void registryStore(HSQUIRRELVM v, const ClassTag& tag, Slot slot, SQInteger valueIdx) {
    valueIdx = absIndex(v, valueIdx);
    sq_pushregistrytable(v);
    sq_pushuserpointer(v, registryKey(tag, slot));
    sq_push(v, valueIdx);
    sq_newslot(v, -3, SQFalse);
    sq_poptop(v);
}

bool registryFetch(HSQUIRRELVM v, const ClassTag& tag, Slot slot) {
    sq_pushregistrytable(v);
    sq_pushuserpointer(v, registryKey(tag, slot));
    if (SQ_FAILED(sq_rawget(v, -2))) {
        sq_poptop(v);
        return false;
    }
    sq_remove(v, -2);
    return true;
}

void addAccessor(HSQUIRRELVM v, SQInteger classIdx, SQInteger tableIdx, const char16_t* name,
                 SQFUNCTION fn) {
    push(v, std::u16string_view(name));
    sq_push(v, tableIdx);
    sq_newclosure(v, fn, 1);
    sq_newslot(v, classIdx, SQFalse);
}

} // namespace

ClassBuilder::ClassBuilder(HSQUIRRELVM v, SQInteger tableIdx, std::u16string_view name,
                           const ClassTag& tag, const ClassTag* base)
    : v_(v), top_(sq_gettop(v)), tableIdx_(absIndex(v, tableIdx)), name_(name), tag_(tag) {
    bool hasBase = base && registryFetch(v, *base, CLASS);
    sq_newclass(v, hasBase ? SQTrue : SQFalse);
    classIdx_ = sq_gettop(v);
    sq_settypetag(v, classIdx_, const_cast<ClassTag*>(&tag));
    // Accessor tables delegate to the base's, so inherited properties keep working.
    for (Slot slot : {GETTERS, SETTERS}) {
        sq_newtable(v);
        if (hasBase && registryFetch(v, *base, slot)) sq_setdelegate(v, -2);
        registryStore(v, tag, slot, -1);
    }
    gettersIdx_ = classIdx_ + 1;
    settersIdx_ = classIdx_ + 2;
    addAccessor(v, classIdx_, gettersIdx_, u"_get", propertyGet);
    addAccessor(v, classIdx_, settersIdx_, u"_set", propertySet);
}

namespace {

struct GuardedCtor {
    SQFUNCTION fn;
    const ClassTag* tag;
};

// A constructor runs only on an instance of its class or of a subclass. Called on another
// object (Point.constructor.call(blob, 1, 2)) it would put its native object into that one and
// free the other's as if it were of its own type.
SQInteger guardedCtor(HSQUIRRELVM v) {
    SQUserPointer p = nullptr;
    sq_getuserdata(v, -1, &p, nullptr);
    GuardedCtor guard = *static_cast<const GuardedCtor*>(p);
    sq_poptop(v); // the constructor sees only `this` and its arguments
    SQUserPointer up = nullptr;
    if (sq_gettype(v, 1) != OT_INSTANCE ||
        SQ_FAILED(sq_getinstanceup(v, 1, &up, const_cast<ClassTag*>(guard.tag))))
        return throwScriptError(v, kCreateFailed);
    return guard.fn(v);
}

} // namespace

ClassBuilder& ClassBuilder::ctor(SQFUNCTION fn) {
    push(v_, u"constructor");
    *static_cast<GuardedCtor*>(sq_newuserdata(v_, sizeof(GuardedCtor))) = {fn, &tag_};
    sq_newclosure(v_, guardedCtor, 1);
    sq_setnativeclosurename(v_, -1, u"constructor");
    sq_newslot(v_, classIdx_, SQFalse);
    return *this;
}

ClassBuilder& ClassBuilder::method(std::u16string_view name, SQFUNCTION fn) {
    setFunction(v_, classIdx_, name, fn);
    return *this;
}

ClassBuilder& ClassBuilder::overloads(std::u16string_view name,
                                      std::initializer_list<Overload> list) {
    setOverloads(v_, classIdx_, name, list);
    return *this;
}

ClassBuilder& ClassBuilder::staticMethod(std::u16string_view name, SQFUNCTION fn) {
    setFunction(v_, classIdx_, name, fn, true);
    return *this;
}

ClassBuilder& ClassBuilder::property(std::u16string_view name, SQFUNCTION getter,
                                     SQFUNCTION setter) {
    setFunction(v_, gettersIdx_, name, getter);
    if (setter) setFunction(v_, settersIdx_, name, setter);
    return *this;
}

void ClassBuilder::done() {
    registryStore(v_, tag_, CLASS, classIdx_);
    push(v_, name_);
    sq_push(v_, classIdx_);
    sq_newslot(v_, tableIdx_, SQFalse);
    sq_settop(v_, top_);
}

bool pushClass(HSQUIRRELVM v, const ClassTag& tag) {
    if (registryFetch(v, tag, CLASS)) return true;
    return false;
}

} // namespace KoScript
