// Classes, their members and metamethods, and instances.
#pragma once
#include "tables.h"

enum SQMetaMethod {
    MT_ADD,
    MT_SUB,
    MT_MUL,
    MT_DIV,
    MT_UNM,
    MT_MODULO,
    MT_SET,
    MT_GET,
    MT_TYPEOF,
    MT_NEXTI,
    MT_CMP,
    MT_CALL,
    MT_CLONED,
    MT_NEWSLOT,
    MT_DELSLOT,
    MT_TOSTRING,
    MT_NEWMEMBER,
    MT_INHERITED,
    MT_LAST
};

struct SQClassMember {
    SQObjectPtr val, attrs;
};

#define MEMBER_FIELD 1
#define MEMBER_METHOD 2
#define MEMBER_ENCODE(t, i) ((SQInteger)(((i) << 2) | (t)))
#define MEMBER_TYPE(v) (_integer(v) & 3)
#define MEMBER_INDEX(v) (_integer(v) >> 2)

// Identifies a class's member layout (which key maps to which field or method slot) for the
// interpreter's member caches: a new class and every change of the layout take a stamp never
// used before, so a cache entry can neither outlive a change nor match a later class that
// happens to reuse a freed one's address.
uint64_t vm_next_class_stamp();

struct SQClass : SQRefCounted {
    SQClass* _base = nullptr; // counted
    uint64_t _stamp = vm_next_class_stamp();
    SQTable* _members; // key -> encoded member
    std::vector<SQClassMember> _defaultvalues;
    std::vector<SQClassMember> _methods; // methods and static members
    SQObjectPtr _metamethods[MT_LAST];
    SQObjectPtr _attributes;
    SQObjectPtr _constructor;
    SQUserPointer _typetag = nullptr;
    SQRELEASEHOOK _hook = nullptr;
    SQInteger _udsize = 0;
    bool _locked = false;
    static SQClass* Create(SQSharedState* ss, SQClass* base);
    ~SQClass() override;
    SQObjectType GetType() override { return OT_CLASS; }
    void Finalize() override;
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override;
    bool Get(const SQObject& key, SQObjectPtr& val);
    // Adds or replaces a member. Returns false if the class is locked and the member is a new
    // field.
    bool NewSlot(SQSharedState* ss, const SQObject& key, const SQObject& val, bool bstatic);
    bool SetAttributes(const SQObject& key, const SQObject& val);
    bool GetAttributes(const SQObject& key, SQObjectPtr& out);
    SQInstance* CreateInstance();
};

struct SQInstance : SQDelegable {
    SQClass* _class; // counted
    SQUserPointer _userpointer = nullptr;
    SQRELEASEHOOK _hook = nullptr;
    SQInteger _memsize = 0; // bytes of user data after the values
    SQInteger _nvalues;
    SQObjectPtr* _values; // in the instance's own block (SQClass::CreateInstance)
    ~SQInstance() override;
    static void* operator new(size_t) = delete; // made only by SQClass::CreateInstance
    static void operator delete(void* p); // returns the block to its free list (classes.cpp)
    SQObjectType GetType() override { return OT_INSTANCE; }
    void Finalize() override;
    void EnumRefs(void (*fn)(void*, SQObject&), void* ud) override;
    bool Get(const SQObject& key, SQObjectPtr& val);
    bool Set(const SQObject& key, const SQObject& val);
    bool InstanceOf(SQClass* c) const;
    SQInstance* Clone(SQSharedState* ss);
    bool GetMetaMethod(SQMetaMethod mm, SQObjectPtr& out) {
        if (sq_type(_class->_metamethods[mm]) == OT_NULL) return false;
        out = _class->_metamethods[mm];
        return true;
    }
};
