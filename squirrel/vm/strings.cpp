// Interned strings: hashing, the string table, creation and release.
#include "vm.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---------------------------------------------------------------- strings
// Long strings are hashed on a sample of at most about 64 units (and their length), so
// building long text piece by piece stays linear; equal strings still hash alike.
SQHash vm_hashstring(const SQChar* s, SQInteger len) {
    SQHash h = 2166136261u ^ (SQHash)len;
    SQInteger step = (len >> 6) + 1;
    for (SQInteger i = len; i >= step; i -= step) {
        h ^= s[i - 1];
        h *= 16777619u;
    }
    return h;
}

SQStringTable::SQStringTable() {
    Resize(256);
}
SQStringTable::~SQStringTable() {
    free(_buckets);
}

void SQStringTable::Resize(SQUnsignedInteger n) {
    SQString** nb = (SQString**)calloc(n, sizeof(SQString*));
    if (!nb) throw std::bad_alloc();
    for (SQUnsignedInteger i = 0; i < _size; i++) {
        SQString* s = _buckets[i];
        while (s) {
            SQString* nx = s->_next;
            SQUnsignedInteger b = s->_hash & (n - 1);
            s->_next = nb[b];
            nb[b] = s;
            s = nx;
        }
    }
    free(_buckets);
    _buckets = nb;
    _size = n;
}

SQString* SQStringTable::Add(SQSharedState* ss, const SQChar* s, SQInteger len) {
    SQHash h = vm_hashstring(s, len);
    SQUnsignedInteger b = h & (_size - 1);
    for (SQString* p = _buckets[b]; p; p = p->_next)
        if (p->_hash == h && p->_len == len && memcmp(p->_val, s, len * sizeof(SQChar)) == 0)
            return p;
    SQString* str = Insert(ss, len, h, b);
    memcpy(str->_val, s, len * sizeof(SQChar));
    return str;
}

// A new string of len characters in bucket b, its text left to the caller.
SQString* SQStringTable::Insert(SQSharedState* ss, SQInteger len, SQHash h, SQUnsignedInteger b) {
    if (len > SQLimits::maxstring) throw std::bad_alloc();
    void* mem = malloc(sizeof(SQString) + len * sizeof(SQChar));
    if (!mem) throw std::bad_alloc();
    SQString* str = new (mem) SQString();
    str->_owner = ss;
    str->_len = len;
    str->_hash = h;
    str->_val[len] = 0;
    str->_next = _buckets[b];
    _buckets[b] = str;
    if (++_count > _size) Resize(_size * 2);
    return str;
}

SQString* SQStringTable::AddPair(SQSharedState* ss, const SQChar* a, SQInteger alen,
                                 const SQChar* b, SQInteger blen) {
    const SQChar* parts[2] = {a, b};
    SQInteger lens[2] = {alen, blen};
    return AddParts(ss, parts, lens, 2);
}

SQString* SQStringTable::AddParts(SQSharedState* ss, const SQChar* const* parts,
                                  const SQInteger* lens, int n) {
    SQInteger len = 0;
    for (int k = 0; k < n; k++) len += lens[k];
    // the same samples as vm_hashstring over the joined text, taken part by part from the end
    SQHash h = 2166136261u ^ (SQHash)len;
    SQInteger step = (len >> 6) + 1;
    SQInteger i = len, start = len;
    for (int k = n - 1; k >= 0; k--) {
        start -= lens[k];
        const SQChar* p = parts[k] - start;
        SQInteger lo = start + 1 > step ? start + 1 : step;
        for (; i >= lo; i -= step) {
            h ^= p[i - 1];
            h *= 16777619u;
        }
    }
    SQUnsignedInteger bk = h & (_size - 1);
    for (SQString* p = _buckets[bk]; p; p = p->_next) {
        if (p->_hash != h || p->_len != len) continue;
        SQInteger at = 0;
        int k = 0;
        for (; k < n; k++) {
            if (memcmp(p->_val + at, parts[k], lens[k] * sizeof(SQChar)) != 0) break;
            at += lens[k];
        }
        if (k == n) return p;
    }
    SQString* str = Insert(ss, len, h, bk);
    SQInteger at = 0;
    for (int k = 0; k < n; k++) {
        memcpy(str->_val + at, parts[k], lens[k] * sizeof(SQChar));
        at += lens[k];
    }
    return str;
}

void SQStringTable::Remove(SQString* s) {
    SQUnsignedInteger b = s->_hash & (_size - 1);
    SQString** pp = &_buckets[b];
    while (*pp) {
        if (*pp == s) {
            *pp = s->_next;
            _count--;
            return;
        }
        pp = &(*pp)->_next;
    }
}

SQString* SQString::Create(SQSharedState* ss, const SQChar* s, SQInteger len) {
    if (len < 0) {
        len = 0;
        while (s[len]) len++;
    }
    return ss->_strings.Add(ss, s, len);
}

SQString* SQString::CreateAscii(SQSharedState* ss, const char* s) {
    // names and short messages (type names, "true") widen on the stack
    SQChar buf[64];
    SQInteger n = 0;
    while (n < 64 && s[n]) {
        buf[n] = (SQChar)(unsigned char)s[n];
        n++;
    }
    if (n < 64) return Create(ss, buf, n);
    sqstring w = vm_ascii(s);
    return Create(ss, w.data(), (SQInteger)w.size());
}

// Strings are allocated with malloc (flexible array); their deletion goes through here.
void vm_destroy_string(SQString* s) {
    if (!s->_owner->_closing) s->_owner->_strings.Remove(s);
    s->~SQString();
    free(s);
}
