// Object lifetime (queued destruction, the collector's chain) and the text helpers.
#include "vm.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// ---------------------------------------------------------------- lifetime
SQRefCounted::~SQRefCounted() {}

void SQRefCounted::GCLink(SQSharedState* ss) {
    _ss = ss;
    _gcprev = nullptr;
    _gcnext = ss->_gchead;
    if (ss->_gchead) ss->_gchead->_gcprev = this;
    ss->_gchead = this;
}

void SQRefCounted::GCUnlink() {
    if (!_ss) return;
    if (_gcprev)
        _gcprev->_gcnext = _gcnext;
    else
        _ss->_gchead = _gcnext;
    if (_gcnext) _gcnext->_gcprev = _gcprev;
    _gcnext = _gcprev = nullptr;
    _ss = nullptr;
}

// Destruction of deep structures (long linked lists) must not recurse without bound:
// objects released while a destruction is in progress are queued and freed iteratively.
// The queue is last-in first-out; its first entries live on the C stack, so a short cascade
// (a closure and its outers, a small table) allocates nothing.
namespace {
struct PendingQueue {
    SQRefCounted* first[32];
    size_t n = 0;
    std::vector<SQRefCounted*> more; // entries past the first 32, newest last
    void push(SQRefCounted* r) {
        if (n < 32)
            first[n++] = r;
        else
            more.push_back(r);
    }
    SQRefCounted* pop() {
        if (!more.empty()) {
            SQRefCounted* r = more.back();
            more.pop_back();
            return r;
        }
        return n ? first[--n] : nullptr;
    }
};
} // namespace
static thread_local PendingQueue* g_pending = nullptr;

static void destroy_one(SQRefCounted* r) {
    if (r->_weakref) {
        SQWeakRef* w = r->_weakref;
        r->_weakref = nullptr;
        w->_obj._type = OT_NULL;
        w->_obj._unVal.raw = 0;
        if (--w->_uiRef == 0) {
            w->GCUnlink();
            delete w;
        }
    }
    r->GCUnlink();
    SQObjectType t = r->GetType();
    if (t == OT_STRING)
        vm_destroy_string(static_cast<SQString*>(r));
    else if (t == OT_USERDATA)
        vm_destroy_userdata(static_cast<SQUserData*>(r));
    else
        delete r;
}

void vm_destroy(SQRefCounted* r) {
    if (g_pending) {
        g_pending->push(r);
        return;
    }
    PendingQueue pending;
    g_pending = &pending;
    destroy_one(r);
    while (SQRefCounted* p = pending.pop()) destroy_one(p);
    g_pending = nullptr;
}

// ---------------------------------------------------------------- text helpers
sqstring vm_ascii(const char* s) {
    sqstring r;
    while (*s) r.push_back((SQChar)(unsigned char)*s++);
    return r;
}

// UTF-16 -> UTF-8. A surrogate without its partner has no UTF-8 form: it becomes U+FFFD.
std::string vm_toutf8(const SQChar* s, SQInteger len) {
    std::string out;
    out.reserve(len > 0 ? (size_t)len : 0);
    for (SQInteger i = 0; i < len; i++) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xE000) {
            bool paired = c < 0xDC00 && i + 1 < len && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000;
            if (paired)
                c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
            else
                c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back((char)c);
        } else {
            int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
            static const unsigned char lead[] = {0, 0xC0, 0xE0, 0xF0};
            out.push_back((char)(lead[tail] | (c >> (6 * tail))));
            for (int k = tail - 1; k >= 0; k--) out.push_back((char)(0x80 | ((c >> (6 * k)) & 63)));
        }
    }
    return out;
}

// UTF-8 -> UTF-16. Each byte that does not start a well-formed sequence (stray continuation,
// overlong form, encoded surrogate, past U+10FFFF, cut short) becomes one U+FFFD, and decoding
// goes on at the next byte.
sqstring vm_fromutf8(const char* s, size_t len) {
    sqstring out;
    out.reserve(len);
    const unsigned char* u = (const unsigned char*)s;
    size_t i = 0;
    while (i < len) {
        unsigned char b = u[i];
        if (b < 0x80) {
            out.push_back((SQChar)b);
            i++;
            continue;
        }
        // Lead bytes C2..F4 only: C0/C1 could only start overlong forms, F5.. lie past U+10FFFF.
        size_t tail = b >= 0xC2 && b < 0xE0   ? 1
                      : b >= 0xE0 && b < 0xF0 ? 2
                      : b >= 0xF0 && b < 0xF5 ? 3
                                              : 0;
        uint32_t c = b & (0x3F >> tail);
        bool ok = tail > 0 && len - i > tail; // the whole sequence is there
        for (size_t k = 1; ok && k <= tail; k++) {
            if ((u[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                c = (c << 6) | (u[i + k] & 0x3F);
        }
        static const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (!ok || c < least[tail] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
            out.push_back((SQChar)0xFFFD);
            i++;
            continue;
        }
        i += tail + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back((SQChar)(0xD800 + (c >> 10)));
            out.push_back((SQChar)(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back((SQChar)c);
        }
    }
    return out;
}

// %g as the 32-bit Windows runtime writes it: three-digit exponents, 1.#INF, -1.#IND.
sqstring vm_float_to_text(SQFloat f) {
    if (std::isnan(f)) return vm_ascii(std::signbit(f) ? "-1.#IND" : "1.#QNAN");
    if (std::isinf(f)) return vm_ascii(f < 0 ? "-1.#INF" : "1.#INF");
    char buf[64];
    snprintf(buf, sizeof buf, "%g", (double)f);
    std::string s = buf;
    size_t e = s.find('e');
    if (e != std::string::npos) {
        std::string mant = s.substr(0, e + 2); // includes sign
        std::string digits = s.substr(e + 2);
        while (digits.size() < 3) digits = "0" + digits;
        s = mant + digits;
    }
    return vm_ascii(s.c_str());
}

int vm_int_to_chars(SQInteger i, SQChar* buf) {
    SQChar tmp[12];
    int n = 0;
    uint32_t u = i < 0 ? 0u - (uint32_t)i : (uint32_t)i;
    do {
        tmp[n++] = (SQChar)('0' + u % 10);
        u /= 10;
    } while (u);
    int len = 0;
    if (i < 0) buf[len++] = '-';
    while (n) buf[len++] = tmp[--n];
    return len;
}

sqstring vm_int_to_text(SQInteger i) {
    SQChar buf[12];
    return sqstring(buf, (size_t)vm_int_to_chars(i, buf));
}

sqstring vm_ptr_to_text(const char* tname, const void* p) {
    char buf[96];
    snprintf(buf, sizeof buf, "(%s : 0x%08llX)", tname, (unsigned long long)(uintptr_t)p);
    return vm_ascii(buf);
}

const char* vm_typename_ascii(SQObjectType t) {
    switch (t) {
    case OT_NULL:
        return "null";
    case OT_INTEGER:
        return "integer";
    case OT_FLOAT:
        return "float";
    case OT_BOOL:
        return "bool";
    case OT_STRING:
        return "string";
    case OT_TABLE:
        return "table";
    case OT_ARRAY:
        return "array";
    case OT_USERDATA:
        return "userdata";
    case OT_CLOSURE:
    case OT_NATIVECLOSURE:
        return "function";
    case OT_GENERATOR:
        return "generator";
    case OT_USERPOINTER:
        return "userpointer";
    case OT_THREAD:
        return "thread";
    case OT_FUNCPROTO:
        return "function";
    case OT_CLASS:
        return "class";
    case OT_INSTANCE:
        return "instance";
    case OT_WEAKREF:
        return "weakref";
    case OT_OUTER:
        return "outer";
    }
    return "unknown";
}

SQString* vm_typename(SQSharedState* ss, const SQObject& o) {
    SQObjectType t = sq_type(o);
    SQObjectPtr& n = ss->_typenames[__builtin_ctz(_RAW_TYPE(t) | 0x80000000u)];
    if (sq_type(n) != OT_STRING) n = SQObjectPtr(ss->Str(vm_typename_ascii(t)));
    return _string(n);
}

bool vm_raw_equal(const SQObject& a, const SQObject& b) {
    return sq_type(a) == sq_type(b) && _rawval(a) == _rawval(b);
}
