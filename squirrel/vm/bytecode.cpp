// Bytecode serialisation. Stream layout (little endian):
//   FA FA, "SQKO", u32 format version, u8 sizeof(SQChar), u8 sizeof(SQInteger), u8 sizeof(SQFloat),
//   u8 0, function, "TAIL".
// A function: source name, name, counts and flags, literals, outer variables, local variable
// ranges, line table, instructions, nested functions. Everything read back is checked before
// it is used (register and literal indexes, jump targets, nesting), so corrupt, truncated or
// foreign input fails with an error instead of reaching the interpreter.
#include "vm.h"

namespace {

constexpr uint32_t kVersion = 1;
constexpr SQInteger kMaxCount = 1 << 24;
constexpr int kMaxDepth = 200;

struct Writer {
    SQWRITEFUNC f;
    SQUserPointer up;
    bool ok = true;
    void bytes(const void* p, SQInteger n) {
        if (ok && n > 0 && f(up, (SQUserPointer)p, n) != n) ok = false;
    }
    void u8(uint8_t v) { bytes(&v, 1); }
    void i32(int32_t v) {
        uint8_t b[4] = {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)};
        bytes(b, 4);
    }
    void obj(const SQObject& o) {
        switch (sq_type(o)) {
        case OT_NULL:
            u8(0);
            break;
        case OT_INTEGER:
            u8(1);
            i32(_integer(o));
            break;
        case OT_FLOAT: {
            u8(2);
            int32_t bits;
            memcpy(&bits, &_float(o), 4);
            i32(bits);
            break;
        }
        case OT_BOOL:
            u8(3);
            u8(_integer(o) ? 1 : 0);
            break;
        case OT_STRING: {
            u8(4);
            SQString* s = _string(o);
            i32(s->_len);
            for (SQInteger i = 0; i < s->_len; i++) {
                u8((uint8_t)s->_val[i]);
                u8((uint8_t)(s->_val[i] >> 8));
            }
            break;
        }
        default:
            ok = false;
        }
    }
    void proto(SQFunctionProto* p) {
        obj(p->_sourcename);
        obj(p->_name);
        i32(p->_nparams);
        i32(p->_ndefaults);
        i32(p->_stacksize);
        u8(p->_varparams);
        u8(p->_generator);
        i32((int32_t)p->_literals.size());
        for (auto& l : p->_literals) obj(l);
        i32((int32_t)p->_outers.size());
        for (auto& o : p->_outers) {
            obj(o.name);
            u8(o.fromlocal);
            i32(o.index);
        }
        i32((int32_t)p->_locals.size());
        for (auto& l : p->_locals) {
            obj(l.name);
            i32(l.reg);
            i32(l.start_op);
            i32(l.end_op);
        }
        i32((int32_t)p->_lines.size());
        for (auto& l : p->_lines) {
            i32(l.op);
            i32(l.line);
        }
        i32((int32_t)p->_code.size());
        for (auto& c : p->_code) {
            u8(c.op);
            u8(c.a);
            u8(c.b);
            u8(c.c);
            i32(c.x);
        }
        i32((int32_t)p->_functions.size());
        for (auto& f : p->_functions) proto(_funcproto(f));
    }
};

struct Reader {
    SQVM* v;
    SQREADFUNC f;
    SQUserPointer up;
    bool ok = true;
    bool bytes(void* p, SQInteger n) {
        if (!ok) return false;
        if (n > 0 && f(up, p, n) != n) {
            ok = false;
            v->FailWith("io error, read function failure");
        }
        return ok;
    }
    uint8_t u8() {
        uint8_t b = 0;
        bytes(&b, 1);
        return b;
    }
    int32_t i32() {
        uint8_t b[4] = {0, 0, 0, 0};
        bytes(b, 4);
        return (int32_t)((uint32_t)b[0] | ((uint32_t)b[1] << 8) | ((uint32_t)b[2] << 16) |
                         ((uint32_t)b[3] << 24));
    }
    bool fail(const char* msg) {
        if (ok) v->FailWith("%s", msg);
        ok = false;
        return false;
    }
    SQInteger count() {
        int32_t n = i32();
        if (ok && (n < 0 || n > kMaxCount)) {
            fail("invalid bytecode: bad count");
            return 0;
        }
        return ok ? n : 0;
    }
    SQObjectPtr obj() {
        SQObjectPtr o;
        switch (u8()) {
        case 0:
            break;
        case 1:
            o = SQObjectPtr((SQInteger)i32());
            break;
        case 2: {
            int32_t bits = i32();
            SQFloat fl;
            memcpy(&fl, &bits, 4);
            o = SQObjectPtr(fl);
            break;
        }
        case 3:
            o = SQObjectPtr(u8() != 0);
            break;
        case 4: {
            SQInteger n = count();
            sqstring s;
            for (SQInteger i = 0; i < n && ok; i++) {
                uint8_t lo = u8(), hi = u8();
                s.push_back((SQChar)(lo | (hi << 8)));
            }
            if (ok) o = SQObjectPtr(SQString::Create(v->_sharedstate, s));
            break;
        }
        default:
            fail("invalid bytecode: bad constant");
        }
        return o;
    }
    bool proto(SQObjectPtr& out, int depth) {
        if (depth > kMaxDepth) return fail("invalid bytecode: nesting too deep");
        SQFunctionProto* p = SQFunctionProto::Create(v->_sharedstate);
        out = SQObjectPtr(p);
        p->_sourcename = obj();
        p->_name = obj();
        p->_nparams = i32();
        p->_ndefaults = i32();
        p->_stacksize = i32();
        p->_varparams = u8() != 0;
        p->_generator = u8() != 0;
        p->Seal();
        SQInteger n = count();
        for (SQInteger i = 0; i < n && ok; i++) p->_literals.push_back(obj());
        n = count();
        for (SQInteger i = 0; i < n && ok; i++) {
            SQOuterVarInfo o;
            o.name = obj();
            o.fromlocal = u8() != 0;
            o.index = i32();
            p->_outers.push_back(o);
        }
        n = count();
        for (SQInteger i = 0; i < n && ok; i++) {
            SQLocalVarInfo l;
            l.name = obj();
            l.reg = i32();
            l.start_op = i32();
            l.end_op = i32();
            p->_locals.push_back(l);
        }
        n = count();
        for (SQInteger i = 0; i < n && ok; i++) {
            SQLineInfo l;
            l.op = i32();
            l.line = i32();
            p->_lines.push_back(l);
        }
        n = count();
        for (SQInteger i = 0; i < n && ok; i++) {
            SQInstruction c;
            c.op = u8();
            c.a = u8();
            c.b = u8();
            c.c = u8();
            c.x = i32();
            p->_code.push_back(c);
        }
        n = count();
        for (SQInteger i = 0; i < n && ok; i++) {
            SQObjectPtr child;
            if (!proto(child, depth + 1)) return false;
            p->_functions.push_back(child);
        }
        return ok;
    }
};

// Checks that the function can run without reading outside its registers, literals,
// outers, nested functions or code.
bool verify(SQVM* v, SQFunctionProto* p, SQInteger parentstack, SQInteger parentouters) {
    auto bad = [&](const char* what) {
        v->FailWith("invalid bytecode: %s", what);
        return false;
    };
    SQInteger ss = p->_stacksize;
    if (ss < 2 || ss > 255) return bad("stack size");
    if (p->_nparams < 1 || p->_nparams + (p->_varparams ? 1 : 0) > ss) return bad("parameters");
    if (p->_ndefaults < 0 || p->_ndefaults > p->_nparams - 1) return bad("default parameters");
    if (sq_type(p->_sourcename) != OT_STRING && sq_type(p->_sourcename) != OT_NULL)
        return bad("source name");
    if (sq_type(p->_name) != OT_STRING && sq_type(p->_name) != OT_NULL) return bad("name");
    SQInteger ncode = (SQInteger)p->_code.size();
    if (ncode == 0 || p->_code.back().op != OP_RETURN) return bad("code must end with return");
    SQInteger nlit = (SQInteger)p->_literals.size(), nouter = (SQInteger)p->_outers.size();
    SQInteger nfunc = (SQInteger)p->_functions.size();
    for (auto& o : p->_outers) {
        if (sq_type(o.name) != OT_STRING) return bad("outer name");
        if (o.fromlocal ? (o.index < 0 || o.index >= parentstack)
                        : (o.index < 0 || o.index >= parentouters))
            return bad("outer index");
    }
    for (auto& l : p->_locals) {
        if (sq_type(l.name) != OT_STRING || l.reg < 0 || l.reg >= ss || l.start_op < 0 ||
            l.end_op < l.start_op || l.end_op > ncode)
            return bad("local variable");
    }
    for (auto& l : p->_lines)
        if (l.op < 0 || l.op > ncode) return bad("line table");
    for (size_t k = 1; k < p->_lines.size(); k++)
        if (p->_lines[k].op < p->_lines[k - 1].op) return bad("line table");
    SQInteger nlocinfo = (SQInteger)p->_locals.size();
    if (nlocinfo < p->_nparams + (p->_varparams ? 1 : 0)) return bad("parameter names");
    for (SQInteger pc = 0; pc < ncode; pc++) {
        const SQInstruction& i = p->_code[pc];
        auto R = [&](int r) { return r >= 0 && r < ss; };
        auto RN = [&](int r) { return r == NOREG || R(r); };
        auto J = [&]() {
            SQInteger t = pc + 1 + (SQInteger)i.x;
            return t >= 0 && t < ncode;
        };
        bool good;
        switch (i.op) {
        case OP_LINE:
            good = true;
            break;
        case OP_LOAD:
            good = R(i.a) && i.x >= 0 && i.x < nlit;
            break;
        case OP_LOADINT:
        case OP_LOADFLOAT:
        case OP_LOADBOOL:
        case OP_LOADROOT:
        case OP_GETBASE:
        case OP_NEWTABLE:
        case OP_CLOSE:
        case OP_THROW:
            good = R(i.a) && (i.op != OP_NEWTABLE || (i.x >= 0 && i.x < (1 << 20)));
            break;
        case OP_NEWARRAY:
            good = R(i.a) && i.x >= 0 && i.x < (1 << 20);
            break;
        case OP_LOADNULLS:
            good = R(i.a) && i.x >= 0 && i.a + i.x <= ss;
            break;
        case OP_MOVE:
        case OP_UNM:
        case OP_NOT:
        case OP_BNOT:
        case OP_TYPEOF:
        case OP_CLONE:
        case OP_RESUME:
        case OP_PINCL:
        case OP_APPENDARRAY:
        case OP_ADDK:
        case OP_SUBK:
        case OP_MULK:
        case OP_DIVK:
        case OP_MODK:
        case OP_BANDK:
        case OP_BORK:
        case OP_BXORK:
        case OP_SHLK:
        case OP_SHRK:
        case OP_USHRK:
        case OP_EQK:
        case OP_NEK:
        case OP_LTK:
        case OP_LEK:
        case OP_GTK:
        case OP_GEK:
            good = R(i.a) && R(i.b);
            break;
        case OP_GETOUTER:
            good = R(i.a) && i.x >= 0 && i.x < nouter;
            break;
        case OP_SETOUTER:
            good = RN(i.a) && R(i.b) && i.x >= 0 && i.x < nouter;
            break;
        case OP_GETVAR:
            good = R(i.a) && i.x >= 0 && i.x < nlit;
            break;
        case OP_SETVAR:
            good = RN(i.a) && R(i.b) && i.x >= 0 && i.x < nlit;
            break;
        case OP_GETK:
            good = R(i.a) && R(i.b) && i.x >= 0 && i.x < nlit;
            break;
        case OP_NEWSLOTK:
            good = R(i.b) && R(i.c) && i.x >= 0 && i.x < nlit;
            break;
        case OP_GET:
        case OP_DELETE:
        case OP_ADD:
        case OP_SUB:
        case OP_MUL:
        case OP_DIV:
        case OP_MOD:
        case OP_BAND:
        case OP_BOR:
        case OP_BXOR:
        case OP_SHL:
        case OP_SHR:
        case OP_USHR:
        case OP_EQ:
        case OP_NE:
        case OP_LT:
        case OP_LE:
        case OP_GT:
        case OP_GE:
        case OP_CMP3:
        case OP_INSTANCEOF:
        case OP_IN:
            good = R(i.a) && R(i.b) && R(i.c);
            break;
        case OP_ADD3:
            good = R(i.a) && R(i.b) && R(i.c) && R(i.x);
            break;
        case OP_SET:
            good = RN(i.a) && R(i.b) && R(i.c) && R(i.x);
            break;
        case OP_NEWSLOT: {
            int vr = i.x & 255, ar = ((i.x >> 8) & 255) - 1;
            good = RN(i.a) && R(i.b) && R(i.c) && R(vr) && (ar == -1 || R(ar)) && (i.x >> 18) == 0;
            break;
        }
        case OP_JMP:
            good = J();
            break;
        case OP_JZ:
        case OP_JNZ:
        case OP_PUSHTRAP:
            good = R(i.a) && J();
            break;
        case OP_JCMP:
        case OP_JCMPT:
            good = i.a <= 5 && R(i.b) && R(i.c) && J();
            break;
        case OP_JCMPK:
        case OP_JCMPKT:
            good = i.a <= 5 && R(i.b) && J();
            break;
        case OP_FOREACH:
            good = R(i.a) && R(i.b) && i.b + 2 < ss && J();
            break;
        case OP_CALL:
        case OP_TAILCALL:
            good = RN(i.a) && R(i.b) && i.c >= 1 && i.b + i.c < ss;
            break;
        case OP_PREPCALL:
            good = R(i.a) && i.a + 1 < ss && R(i.b) && R(i.c);
            break;
        case OP_PREPCALLK:
            good = R(i.a) && i.a + 1 < ss && R(i.b) && i.x >= 0 && i.x < nlit;
            break;
        case OP_CLOSURE:
            good = R(i.a) && i.x >= 0 && i.x < nfunc &&
                   i.a + _funcproto(p->_functions[i.x])->_ndefaults <= ss;
            break;
        case OP_RETURN:
            good = !i.b || R(i.a);
            break;
        case OP_YIELD:
            good = !i.c || R(i.b);
            break;
        case OP_CLASS:
            good = R(i.a) && RN(i.b) && RN(i.c);
            break;
        case OP_POPTRAP:
            good = i.x >= 0;
            break;
        case OP_INCL:
            good = RN(i.a) && R(i.b);
            break;
        default:
            good = false;
        }
        if (!good) return bad("instruction");
    }
    for (auto& l : p->_literals) {
        SQObjectType t = sq_type(l);
        if (t != OT_NULL && t != OT_INTEGER && t != OT_FLOAT && t != OT_BOOL && t != OT_STRING)
            return bad("literal");
    }
    for (auto& f : p->_functions) {
        if (sq_type(f) != OT_FUNCPROTO) return bad("function");
        if (!verify(v, _funcproto(f), ss, nouter)) return false;
    }
    return true;
}

} // namespace

bool vm_write_proto(SQVM* v, SQFunctionProto* p, SQWRITEFUNC w, SQUserPointer up) {
    Writer wr{w, up};
    wr.u8(0xFA);
    wr.u8(0xFA);
    wr.bytes("SQKO", 4);
    wr.i32((int32_t)kVersion);
    wr.u8(sizeof(SQChar));
    wr.u8(sizeof(SQInteger));
    wr.u8(sizeof(SQFloat));
    wr.u8(0);
    wr.proto(p);
    wr.bytes("TAIL", 4);
    if (!wr.ok) {
        v->FailWith("io error, write function failure");
        return false;
    }
    return true;
}

bool vm_read_proto(SQVM* v, SQREADFUNC r, SQUserPointer up, SQObjectPtr& out) {
    Reader rd{v, r, up};
    uint8_t head[12];
    if (!rd.bytes(head, 12)) return false;
    if (head[0] != 0xFA || head[1] != 0xFA || memcmp(head + 2, "SQKO", 4) != 0)
        return rd.fail("invalid stream: not bytecode");
    uint32_t ver = head[6] | (head[7] << 8) | (head[8] << 16) | ((uint32_t)head[9] << 24);
    if (ver != kVersion) return rd.fail("invalid stream: unsupported bytecode version");
    if (head[10] != sizeof(SQChar) || head[11] != sizeof(SQInteger))
        return rd.fail("invalid stream: type sizes differ");
    uint8_t fsz = rd.u8(), pad = rd.u8();
    if (!rd.ok) return false;
    if (fsz != sizeof(SQFloat) || pad != 0) return rd.fail("invalid stream: type sizes differ");
    SQObjectPtr proto;
    if (!rd.proto(proto, 0)) return false;
    char tail[4];
    if (!rd.bytes(tail, 4)) return false;
    if (memcmp(tail, "TAIL", 4) != 0) return rd.fail("invalid stream: missing end marker");
    if (!_funcproto(proto)->_outers.empty()) return rd.fail("invalid bytecode: outer index");
    if (!verify(v, _funcproto(proto), 0, 0)) return false;
    out = proto;
    return true;
}
