// Interned UTF-16 strings and the string table of a shared state.
#pragma once
#include "value.h"

struct SQString : SQRefCounted {
    SQSharedState* _owner;
    SQInteger _len;
    SQHash _hash;
    SQString* _next; // intern chain
    SQChar _val[1];
    SQObjectType GetType() override { return OT_STRING; }
    static SQString* Create(SQSharedState* ss, const SQChar* s, SQInteger len = -1);
    static SQString* Create(SQSharedState* ss, const sqstring& s) {
        return Create(ss, s.data(), (SQInteger)s.size());
    }
    static SQString* CreateAscii(SQSharedState* ss, const char* s);
    sqstring str() const { return sqstring(_val, _len); }
};

struct SQStringTable {
    SQString** _buckets = nullptr;
    SQUnsignedInteger _size = 0, _count = 0;
    SQStringTable();
    ~SQStringTable();
    SQString* Add(SQSharedState* ss, const SQChar* s, SQInteger len);
    // The string a followed by b, interned, built without an intermediate copy.
    SQString* AddPair(SQSharedState* ss, const SQChar* a, SQInteger alen, const SQChar* b,
                      SQInteger blen);
    // The parts joined, interned, built with one copy of each.
    SQString* AddParts(SQSharedState* ss, const SQChar* const* parts, const SQInteger* lens, int n);
    void Remove(SQString* s);
    void Resize(SQUnsignedInteger n);
    SQString* Insert(SQSharedState* ss, SQInteger len, SQHash h, SQUnsignedInteger b);
};

SQHash vm_hashstring(const SQChar* s, SQInteger len);

// Frees a string whose count reached zero (strings are malloc'd with their text).
void vm_destroy_string(SQString* s);
