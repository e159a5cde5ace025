// Code generator of the compiler (see codegen.h).
#include "codegen.h"

namespace vmc {

void VmCodeGen::OpenFunction(FuncState& fs, FuncState* parent) {
    fs.parent = parent;
    fs.f = SQFunctionProto::Create(_ss);
    fs.fobj = fs.f;
    fs.f->_sourcename = _sourcename;
    _fs = &fs;
}

void VmCodeGen::AddParam(FuncState& fs, const SQObjectPtr& name) {
    int reg = fs.top++;
    if (fs.top > fs.maxstack) fs.maxstack = fs.top;
    SQLocalVarInfo li;
    li.name = name;
    li.reg = reg;
    li.start_op = 0;
    li.end_op = -1;
    fs.f->_locals.push_back(li);
    fs.locals.push_back({name, reg, (int)fs.f->_locals.size() - 1, false});
    fs.f->_nparams = fs.top;
}

void VmCodeGen::CloseFunction(FuncState& fs) {
    Emit(OP_RETURN, 0, 0, 0, 0);
    SQInteger end = (SQInteger)fs.f->_code.size();
    for (auto& li : fs.f->_locals)
        if (li.end_op < 0) li.end_op = end;
    fs.f->_stacksize = fs.maxstack + 1;
    fs.f->Seal();
    _fs = fs.parent;
}

int VmCodeGen::Code() {
    return (int)_fs->f->_code.size();
}

int VmCodeGen::Emit(uint8_t op, int a, int b, int c, int32_t x) {
    SQInstruction i;
    i.op = op;
    i.a = (uint8_t)a;
    i.b = (uint8_t)b;
    i.c = (uint8_t)c;
    i.x = x;
    _fs->f->_code.push_back(i);
    return Code() - 1;
}

void VmCodeGen::AddLine(SQInteger line, bool emitline) {
    if (line == _fs->lastline) return;
    _fs->lastline = line;
    SQLineInfo li;
    li.op = Code();
    li.line = line;
    if (!_fs->f->_lines.empty() && _fs->f->_lines.back().op == li.op)
        _fs->f->_lines.back().line = line;
    else
        _fs->f->_lines.push_back(li);
    if (emitline && _lineinfo) Emit(OP_LINE, 0, 0, 0, (int32_t)line);
}

void VmCodeGen::PatchJump(int at, int target) {
    _fs->f->_code[at].x = target - (at + 1);
    if (target > _fs->lastjumptarget) _fs->lastjumptarget = target;
}

void VmCodeGen::JumpTo(int target) {
    int j = Emit(OP_JMP);
    PatchJump(j, target);
}

int VmCodeGen::NewTemp() {
    int r = _fs->top++;
    if (r >= 250) Fail("too many local variables");
    if (_fs->top > _fs->maxstack) _fs->maxstack = _fs->top;
    return r;
}

void VmCodeGen::FreeTo(int n) {
    _fs->top = n;
}

int VmCodeGen::NLocals() {
    return (int)_fs->locals.size();
}

int VmCodeGen::LocalsTop() {
    return _fs->locals.empty() ? 0 : _fs->locals.back().reg + 1;
}

int VmCodeGen::Literal(const SQObject& o) {
    LiteralKey k{sq_type(o), _rawval(o)};
    auto it = _fs->litmap.find(k);
    if (it != _fs->litmap.end()) return it->second;
    int idx = (int)_fs->f->_literals.size();
    _fs->f->_literals.push_back(SQObjectPtr(o));
    _fs->litmap[k] = idx;
    return idx;
}

int VmCodeGen::StrLiteral(const sqstring& s) {
    SQObjectPtr str(SQString::Create(_ss, s));
    return Literal(str);
}

// Declares the register at the top as a named local.
void VmCodeGen::DeclareLocal(const SQObjectPtr& name, int reg) {
    SQLocalVarInfo li;
    li.name = name;
    li.reg = reg;
    li.start_op = Code();
    li.end_op = -1;
    _fs->f->_locals.push_back(li);
    _fs->locals.push_back({name, reg, (int)_fs->f->_locals.size() - 1, false});
}

void VmCodeGen::DeclareHidden(int reg) {
    _fs->locals.push_back({SQObjectPtr(), reg, -1, false});
}

// Ends locals down to n; emits CLOSE when a captured one goes.
void VmCodeGen::PopLocals(int n, bool emitclose) {
    int closereg = -1;
    while ((int)_fs->locals.size() > n) {
        LocalVar& l = _fs->locals.back();
        if (l.captured) closereg = l.reg;
        if (l.info >= 0) _fs->f->_locals[l.info].end_op = Code();
        _fs->locals.pop_back();
    }
    if (closereg >= 0 && emitclose) Emit(OP_CLOSE, closereg);
    FreeTo(LocalsTop());
}

// lowest captured register among locals >= n, or -1
int VmCodeGen::CaptureCloseReg(int n) {
    int r = -1;
    for (int i = (int)_fs->locals.size() - 1; i >= n; i--)
        if (_fs->locals[i].captured) r = _fs->locals[i].reg;
    return r;
}

int VmCodeGen::FindLocal(FuncState* fs, const SQObject& name) {
    for (int i = (int)fs->locals.size() - 1; i >= 0; i--)
        if (sq_type(fs->locals[i].name) == OT_STRING &&
            _string(fs->locals[i].name) == _string(name))
            return i;
    return -1;
}

int VmCodeGen::FindOuter(FuncState* fs, const SQObject& name) {
    for (size_t i = 0; i < fs->f->_outers.size(); i++)
        if (_string(fs->f->_outers[i].name) == _string(name)) return (int)i;
    if (!fs->parent) return -1;
    int li = FindLocal(fs->parent, name);
    SQOuterVarInfo oi;
    oi.name = name;
    if (li >= 0) {
        fs->parent->locals[li].captured = true;
        oi.fromlocal = true;
        oi.index = fs->parent->locals[li].reg;
    } else {
        int po = FindOuter(fs->parent, name);
        if (po < 0) return -1;
        oi.fromlocal = false;
        oi.index = po;
    }
    fs->f->_outers.push_back(oi);
    return (int)fs->f->_outers.size() - 1;
}

bool VmCodeGen::FindConstant(const SQObject& name, SQObjectPtr& val) {
    if (sq_type(_ss->_consttable) != OT_TABLE) return false;
    return _table(_ss->_consttable)->Get(name, val);
}

void VmCodeGen::LoadLiteral(int reg, const SQObjectPtr& v) {
    switch (sq_type(v)) {
    case OT_INTEGER:
        Emit(OP_LOADINT, reg, 0, 0, _integer(v));
        break;
    case OT_FLOAT: {
        int32_t bits;
        memcpy(&bits, &_float(v), 4);
        Emit(OP_LOADFLOAT, reg, 0, 0, bits);
        break;
    }
    case OT_BOOL:
        Emit(OP_LOADBOOL, reg, 0, 0, _integer(v));
        break;
    case OT_NULL:
        Emit(OP_LOADNULLS, reg, 0, 0, 1);
        break;
    default:
        Emit(OP_LOAD, reg, 0, 0, Literal(v));
        break;
    }
}

// Makes the value readable in a register; returns it (a local or a temp).
int VmCodeGen::ToReg(Exp& e) {
    switch (e.k) {
    case E_TEMP:
    case E_LOCAL:
        return e.r;
    case E_FIELD: {
        FreeTo(e.base);
        int t = NewTemp();
        Emit(OP_GET, t, e.r, e.r2);
        e.k = E_TEMP;
        e.r = t;
        return t;
    }
    case E_FIELDK: {
        FreeTo(e.base);
        int t = NewTemp();
        Emit(OP_GETK, t, e.r, 0, e.idx);
        e.k = E_TEMP;
        e.r = t;
        return t;
    }
    case E_OUTER: {
        FreeTo(e.base);
        int t = NewTemp();
        Emit(OP_GETOUTER, t, 0, 0, e.idx);
        e.k = E_TEMP;
        e.r = t;
        return t;
    }
    case E_VAR: {
        FreeTo(e.base);
        int t = NewTemp();
        Emit(OP_GETVAR, t, 0, 0, e.idx);
        e.k = E_TEMP;
        e.r = t;
        return t;
    }
    case E_LITERAL:
    case E_ENUM: {
        FreeTo(e.base);
        int t = NewTemp();
        if (e.k == E_ENUM) Fail("invalid use of an enum");
        LoadLiteral(t, e.val);
        e.k = E_TEMP;
        e.r = t;
        return t;
    }
    case E_BASE:
        return e.r;
    case E_VOID:
        Fail("expression expected");
    }
    return 0;
}

// Puts the value in a temp that is exactly the top register.
int VmCodeGen::ToNextTemp(Exp& e) {
    int r = ToReg(e);
    if (e.k == E_TEMP && r == _fs->top - 1 && r >= LocalsTop()) return r;
    int t = NewTemp();
    Emit(OP_MOVE, t, r);
    e.k = E_TEMP;
    e.r = t;
    return t;
}

// Evaluates into register `target`, freeing temps above it.
void VmCodeGen::ToTarget(Exp& e, int target) {
    int r = ToReg(e);
    if (r != target) {
        SQInstruction* last = Code() ? &_fs->f->_code.back() : nullptr;
        if (e.k == E_TEMP && last && r == _fs->top - 1 && LastWritesTemp(*last, r) &&
            _fs->lastjumptarget != Code())
            last->a = (uint8_t)target;
        else
            Emit(OP_MOVE, target, r);
    }
    FreeTo(target + 1 > LocalsTop() ? target + 1 : LocalsTop());
    if (target >= _fs->top) {
        _fs->top = target + 1;
        if (_fs->top > _fs->maxstack) _fs->maxstack = _fs->top;
    }
}

// The instruction writes register r as its only effect on r (safe to retarget).
bool VmCodeGen::LastWritesTemp(const SQInstruction& i, int r) {
    if (i.a != r) return false;
    switch (i.op) {
    case OP_LOAD:
    case OP_LOADINT:
    case OP_LOADFLOAT:
    case OP_LOADBOOL:
    case OP_LOADROOT:
    case OP_MOVE:
    case OP_GETOUTER:
    case OP_GETVAR:
    case OP_GETK:
    case OP_GET:
    case OP_ADD:
    case OP_SUB:
    case OP_MUL:
    case OP_DIV:
    case OP_MOD:
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
    case OP_BAND:
    case OP_BOR:
    case OP_BXOR:
    case OP_SHL:
    case OP_SHR:
    case OP_USHR:
    case OP_UNM:
    case OP_NOT:
    case OP_BNOT:
    case OP_EQ:
    case OP_NE:
    case OP_LT:
    case OP_LE:
    case OP_GT:
    case OP_GE:
    case OP_CMP3:
    case OP_TYPEOF:
    case OP_INSTANCEOF:
    case OP_IN:
    case OP_CLONE:
        return true; // each reads its operands before it writes a
    default:
        return false;
    }
}

void VmCodeGen::Discard(Exp& e) {
    if (e.k == E_FIELD || e.k == E_FIELDK || e.k == E_OUTER || e.k == E_VAR) ToReg(e);
    // `x++` whose value nobody reads increments in place
    SQInstruction* last = Code() ? &_fs->f->_code.back() : nullptr;
    if (e.k == E_TEMP && last && last->op == OP_PINCL && last->a == e.r &&
        _fs->lastjumptarget != Code()) {
        last->op = OP_INCL;
        last->a = NOREG;
    }
    // an assignment whose value nobody reads stores only into its target
    if (e.k == E_TEMP && last && last->op == OP_SET && last->a == e.r &&
        _fs->lastjumptarget != Code())
        last->a = NOREG;
}

// a = b op v, with v's integer constant carried by the instruction where it can be
void VmCodeGen::EmitArith(uint8_t op, int a, int b, Exp& v) {
    int kop = ConstantForm(op);
    if (kop >= 0 && v.k == E_LITERAL && sq_type(v.val) == OT_INTEGER &&
        !(op == OP_SUB && _integer(v.val) == INT32_MIN)) {
        Emit(kop, a, b, 0, _integer(v.val));
        return;
    }
    int rv = ToReg(v);
    Emit(op, a, b, rv);
}

// The form of a binary operator that takes an integer constant as its right operand.
int VmCodeGen::ConstantForm(uint8_t op) {
    switch (op) {
    case OP_ADD:
        return OP_ADDK;
    case OP_SUB:
        return OP_SUBK;
    case OP_MUL:
        return OP_MULK;
    case OP_DIV:
        return OP_DIVK;
    case OP_MOD:
        return OP_MODK;
    case OP_BAND:
        return OP_BANDK;
    case OP_BOR:
        return OP_BORK;
    case OP_BXOR:
        return OP_BXORK;
    case OP_SHL:
        return OP_SHLK;
    case OP_SHR:
        return OP_SHRK;
    case OP_USHR:
        return OP_USHRK;
    case OP_EQ:
        return OP_EQK;
    case OP_NE:
        return OP_NEK;
    case OP_LT:
        return OP_LTK;
    case OP_LE:
        return OP_LEK;
    case OP_GT:
        return OP_GTK;
    case OP_GE:
        return OP_GEK;
    default:
        return -1;
    }
}

} // namespace vmc
