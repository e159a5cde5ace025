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
static thread_local std::vector<SQRefCounted*>* g_pending = nullptr;

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
        g_pending->push_back(r);
        return;
    }
    std::vector<SQRefCounted*> pending;
    g_pending = &pending;
    destroy_one(r);
    while (!pending.empty()) {
        SQRefCounted* p = pending.back();
        pending.pop_back();
        destroy_one(p);
    }
    g_pending = nullptr;
}

// ---------------------------------------------------------------- text helpers
sqstring vm_ascii(const char* s) {
    sqstring r;
    while (*s) r.push_back((SQChar)(unsigned char)*s++);
    return r;
}

std::string vm_toutf8(const SQChar* s, SQInteger len) {
    std::string out;
    out.reserve(len);
    for (SQInteger i = 0; i < len; i++) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < len && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            i++;
        }
        if (c < 0x80)
            out.push_back((char)c);
        else if (c < 0x800) {
            out.push_back((char)(0xC0 | (c >> 6)));
            out.push_back((char)(0x80 | (c & 63)));
        } else if (c < 0x10000) {
            out.push_back((char)(0xE0 | (c >> 12)));
            out.push_back((char)(0x80 | ((c >> 6) & 63)));
            out.push_back((char)(0x80 | (c & 63)));
        } else {
            out.push_back((char)(0xF0 | (c >> 18)));
            out.push_back((char)(0x80 | ((c >> 12) & 63)));
            out.push_back((char)(0x80 | ((c >> 6) & 63)));
            out.push_back((char)(0x80 | (c & 63)));
        }
    }
    return out;
}

sqstring vm_fromutf8(const char* s, size_t len) {
    sqstring out;
    out.reserve(len);
    size_t i = 0;
    const unsigned char* u = (const unsigned char*)s;
    while (i < len) {
        uint32_t c = u[i];
        int extra = 0;
        if (c < 0x80)
            extra = 0;
        else if ((c & 0xE0) == 0xC0) {
            c &= 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            c &= 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            c &= 0x07;
            extra = 3;
        } else {
            out.push_back((SQChar)c);
            i++;
            continue;
        } // stray byte: keep its value
        if (i + extra >= len + 0 && extra > 0 && i + extra > len - 1 + 1) {
            out.push_back((SQChar)u[i]);
            i++;
            continue;
        }
        bool ok = true;
        for (int k = 1; k <= extra; k++) {
            if (i + k >= len || (u[i + k] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (u[i + k] & 0x3F);
        }
        if (!ok) {
            out.push_back((SQChar)u[i]);
            i++;
            continue;
        }
        i += extra + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back((SQChar)(0xD800 + (c >> 10)));
            out.push_back((SQChar)(0xDC00 + (c & 0x3FF)));
        } else
            out.push_back((SQChar)c);
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

sqstring vm_int_to_text(SQInteger i) {
    char buf[32];
    snprintf(buf, sizeof buf, "%d", (int)i);
    return vm_ascii(buf);
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
    return ss->Str(vm_typename_ascii(sq_type(o)));
}

bool vm_raw_equal(const SQObject& a, const SQObject& b) {
    return sq_type(a) == sq_type(b) && _rawval(a) == _rawval(b);
}
