// Parser: recursive descent over the token stream (statements and expressions) in one pass;
// the code generator of codegen.h turns each construct into register code as it is read.
#include "codegen.h"
#include "lexer.h"
#include <cstdarg>
#include <cstdio>
#include <unordered_map>

namespace {

using namespace vmc;

class Compiler : public VmCodeGen {
public:
    Compiler(SQVM* v, SQLEXREADFUNC rg, SQUserPointer up, const SQChar* src, bool lineinfo)
        : VmCodeGen(v->_sharedstate, lineinfo) {
        _sourcename = SQString::Create(_ss, src, -1);
        _lex.Init(rg, up);
    }

    bool Compile(SQObjectPtr& out) {
        FuncState fs;
        try {
            Lex();
            OpenFunction(fs, nullptr);
            fs.f->_name = _ss->Str("main");
            AddParam(fs, _ss->_thisname);
            fs.f->_varparams = true;
            AddParam(fs, _ss->_vargvname);
            fs.f->_nparams = 1;
            while (_token != 0) {
                Statement();
                if (_lex._prevtoken != '}' && _lex._prevtoken != ';') OptionalSemicolon();
            }
            CloseFunction(fs);
            out = fs.fobj;
            return true;
        } catch (CompileError&) {
            _fs = nullptr;
            return false;
        }
    }

    std::string _errmsg;
    SQInteger _errline = 0, _errcol = 0;

private:
    SQLexer _lex;
    SQInteger _token = 0;
    int _depth = 0;

    void Fail(const char* msg) override { Error("%s", msg); }

    // ------------------------------------------------------------ errors and tokens
    [[noreturn]] void Error(const char* fmt, ...) {
        char buf[512];
        va_list ap;
        va_start(ap, fmt);
        vsnprintf(buf, sizeof buf, fmt, ap);
        va_end(ap);
        _errmsg = buf;
        _errline = _lex._currentline;
        _errcol = _lex._currentcolumn;
        throw CompileError();
    }

    void Lex() {
        _token = _lex.Lex();
        if (!_lex._error.empty()) {
            _errmsg = _lex._error;
            _errline = _lex._errline;
            _errcol = _lex._errcol;
            throw CompileError();
        }
    }

    void Expect(SQInteger tok) {
        if (_token != tok) {
            if (tok == TK_IDENTIFIER && _token == TK_CONSTRUCTOR) { /* accepted where a name is */
            } else if (tok > 255)
                Error("expected '%s'", _lex.Tok2Str(tok));
            else
                Error("expected '%c'", (int)tok);
        }
        Lex();
    }

    SQObjectPtr ExpectIdent() {
        if (_token != TK_IDENTIFIER && _token != TK_CONSTRUCTOR) Error("expected 'IDENTIFIER'");
        SQObjectPtr s = _token == TK_CONSTRUCTOR
                            ? _ss->_constructorname
                            : SQObjectPtr(SQString::Create(_ss, _lex._longstr));
        Lex();
        return s;
    }

    bool IsEndOfStatement() {
        return _lex._nlbefore || _token == 0 || _token == '}' || _token == ';';
    }

    void OptionalSemicolon() {
        if (_token == ';') {
            Lex();
            return;
        }
        if (!IsEndOfStatement()) Error("end of statement expected (; or lf)");
    }

    struct DepthGuard {
        Compiler* c;
        explicit DepthGuard(Compiler* cc) : c(cc) {
            if (++c->_depth > 200) {
                c->_depth = 0;
                c->Error("nesting too deep");
            }
        }
        ~DepthGuard() {
            if (c->_depth > 0) c->_depth--;
        }
    };

    // ------------------------------------------------------------ statements
    // A statement starts with the keyword that names it; anything else is an expression.
    void Statement(bool = true) {
        using Form = void (Compiler::*)();
        static const struct {
            SQInteger token;
            Form parse;
        } kForms[] = {
            {TK_LOCAL, &Compiler::LocalDeclStatement},
            {TK_IF, &Compiler::IfStatement},
            {TK_FOR, &Compiler::ForStatement},
            {TK_FOREACH, &Compiler::ForEachStatement},
            {TK_WHILE, &Compiler::WhileStatement},
            {TK_DO, &Compiler::DoWhileStatement},
            {TK_SWITCH, &Compiler::SwitchStatement},
            {'{', &Compiler::BlockStatement},
            {TK_RETURN, &Compiler::ReturnStatement},
            {TK_YIELD, &Compiler::ReturnStatement},
            {TK_BREAK, &Compiler::BreakStatement},
            {TK_CONTINUE, &Compiler::ContinueStatement},
            {TK_FUNCTION, &Compiler::FunctionStatement},
            {TK_CLASS, &Compiler::ClassStatement},
            {TK_ENUM, &Compiler::EnumStatement},
            {TK_CONST, &Compiler::ConstStatement},
            {TK_TRY, &Compiler::TryCatchStatement},
            {TK_THROW, &Compiler::ThrowStatement},
            {';', &Compiler::Lex},
        };
        DepthGuard g(this);
        AddLine(_lex._currentline, true);
        for (const auto& form : kForms) {
            if (form.token == _token) {
                (this->*form.parse)();
                return;
            }
        }
        ExpressionStatement();
    }

    void ExpressionStatement() {
        int base = _fs->top;
        Exp e;
        CommaExpr(e);
        Discard(e);
        FreeTo(base);
    }

    void BlockStatement() {
        Lex();
        int n = NLocals();
        while (_token != '}') {
            Statement();
            if (_lex._prevtoken != '}' && _lex._prevtoken != ';') OptionalSemicolon();
        }
        Expect('}');
        PopLocals(n);
    }

    // return and yield: the value is optional; a yield makes the function a generator.
    void ReturnStatement() {
        const bool yield = _token == TK_YIELD;
        if (yield) _fs->f->_generator = true;
        Lex();
        int base = _fs->top;
        if (IsEndOfStatement()) {
            if (yield)
                Emit(OP_YIELD, NOREG, 0, 0);
            else
                Emit(OP_RETURN, 0, 0);
        } else {
            Exp e;
            CommaExpr(e);
            int r = ToReg(e);
            if (yield)
                Emit(OP_YIELD, NOREG, r, 1);
            else
                EmitReturn(e, r);
        }
        FreeTo(base);
    }

    void ThrowStatement() {
        Lex();
        int base = _fs->top;
        Exp e;
        CommaExpr(e);
        Emit(OP_THROW, ToReg(e));
        FreeTo(base);
    }

    // break leaves the innermost loop or switch, continue the innermost loop: both drop the
    // traps and close the captured locals entered since, then jump (patched at the loop's end).
    void BreakStatement() { LeaveLoop(true); }
    void ContinueStatement() { LeaveLoop(false); }

    void LeaveLoop(bool isbreak) {
        int li = (int)_fs->loops.size() - 1;
        if (!isbreak) {
            while (li >= 0 && _fs->loops[li].isswitch) li--;
        }
        if (li < 0)
            Error(isbreak ? "'break' has to be in a loop block"
                          : "'continue' has to be in a loop block");
        Loop& l = _fs->loops[li];
        if (_fs->ntraps > l.ntraps) Emit(OP_POPTRAP, 0, 0, 0, _fs->ntraps - l.ntraps);
        int cr = CaptureCloseReg(l.nlocals);
        if (cr >= 0) Emit(OP_CLOSE, cr);
        (isbreak ? l.breaks : l.continues).push_back(Emit(OP_JMP));
        Lex();
    }

    // A statement used as a loop / if body: its locals end with it.
    void ScopedStatement() {
        int n = NLocals();
        Statement();
        if (_lex._prevtoken != '}' && _lex._prevtoken != ';') OptionalSemicolon();
        PopLocals(n);
    }

    void CondJump(std::vector<int>& falsejumps) {
        // Evaluates a condition; records jumps taken when it is false.
        int base = _fs->top;
        Exp e;
        CommaExpr(e);
        int r = ToReg(e);
        SQInstruction* last = Code() ? &_fs->f->_code.back() : nullptr;
        // A compare whose result only decides the jump becomes a compare-and-jump (it reads
        // its operands and writes nothing, so the temp it would have written may be one of
        // them).
        static const uint8_t map[] = {4, 5, 0, 1, 2, 3};
        bool fusable = e.k == E_TEMP && last && last->a == r && r == _fs->top - 1 &&
                       _fs->lastjumptarget != Code();
        if (fusable && last->op >= OP_EQ && last->op <= OP_GE) {
            last->a = map[last->op - OP_EQ];
            last->op = OP_JCMP;
            falsejumps.push_back(Code() - 1);
        } else if (fusable && last->op >= OP_EQK && last->op <= OP_GEK && last->x >= -128 &&
                   last->x <= 127) {
            last->a = map[last->op - OP_EQK];
            last->c = (uint8_t)(int8_t)last->x;
            last->x = 0;
            last->op = OP_JCMPK;
            falsejumps.push_back(Code() - 1);
        } else {
            falsejumps.push_back(Emit(OP_JZ, r));
        }
        FreeTo(base);
    }

    void IfStatement() {
        Lex();
        Expect('(');
        std::vector<int> fj;
        CondJump(fj);
        Expect(')');
        ScopedStatement();
        if (_token == TK_ELSE) {
            int j = Emit(OP_JMP);
            for (int f : fj) PatchJump(f, Code());
            Lex();
            ScopedStatement();
            PatchJump(j, Code());
        } else {
            for (int f : fj) PatchJump(f, Code());
        }
    }

    void BeginLoop(bool isswitch = false) {
        Loop l;
        l.nlocals = NLocals();
        l.ntraps = _fs->ntraps;
        l.isswitch = isswitch;
        _fs->loops.push_back(l);
    }
    void EndLoop(int continuetarget, int breaktarget) {
        Loop l = _fs->loops.back();
        _fs->loops.pop_back();
        for (int j : l.breaks) PatchJump(j, breaktarget);
        for (int j : l.continues) PatchJump(j, continuetarget);
    }

    // Ends a loop whose test is the code [cstart, cend): jumps back to the test, or, when the
    // test is a single compare-and-jump or jump on a local, repeats it here with the opposite
    // sense so an iteration takes one jump instead of two. (Not under the debug hook, whose
    // line events follow the code as written.)
    void LoopBack(int cstart, int cend) {
        auto& code = _fs->f->_code;
        if (_lineinfo || cend - cstart != 1) {
            JumpTo(cstart);
            return;
        }
        SQInstruction t = code[cstart];
        switch (t.op) {
        case OP_JCMP:
            t.op = OP_JCMPT;
            break;
        case OP_JCMPK:
            t.op = OP_JCMPKT;
            break;
        case OP_JZ:
            t.op = OP_JNZ;
            break;
        default:
            JumpTo(cstart);
            return;
        }
        // an error the repeated test raises names the loop's line
        SQInteger line = _fs->f->GetLine(cstart);
        int at = Code();
        auto& lines = _fs->f->_lines;
        if (lines.empty() || _fs->f->GetLine(at) != line) {
            if (!lines.empty() && lines.back().op == at)
                lines.back().line = line;
            else
                lines.push_back({at, line});
            _fs->lastline = line;
        }
        code.push_back(t);
        PatchJump(at, cend);
    }

    void WhileStatement() {
        Lex();
        int start = Code();
        Expect('(');
        std::vector<int> fj;
        CondJump(fj);
        Expect(')');
        int bodystart = Code();
        BeginLoop();
        ScopedStatement();
        LoopBack(start, bodystart);
        int end = Code();
        for (int f : fj) PatchJump(f, end);
        EndLoop(start, end);
    }

    void DoWhileStatement() {
        Lex();
        int start = Code();
        BeginLoop();
        ScopedStatement();
        int cont = Code();
        Expect(TK_WHILE);
        Expect('(');
        std::vector<int> fj;
        CondJump(fj);
        Expect(')');
        JumpTo(start);
        int end = Code();
        for (int f : fj) PatchJump(f, end);
        EndLoop(cont, end);
    }

    void ForStatement() {
        Lex();
        int n = NLocals();
        Expect('(');
        if (_token == TK_LOCAL)
            LocalDeclStatement();
        else if (_token != ';') {
            int b = _fs->top;
            Exp e;
            CommaExpr(e);
            Discard(e);
            FreeTo(b);
        }
        Expect(';');
        int condstart = Code();
        std::vector<int> fj;
        if (_token != ';') CondJump(fj);
        Expect(';');
        // The increment is compiled now but must run after the body: move its code.
        int incstart = Code();
        if (_token != ')') {
            int b = _fs->top;
            Exp e;
            CommaExpr(e);
            Discard(e);
            FreeTo(b);
        }
        Expect(')');
        std::vector<SQInstruction> inc(_fs->f->_code.begin() + incstart, _fs->f->_code.end());
        std::vector<SQLineInfo> savedlines;
        _fs->f->_code.resize(incstart);
        while (!_fs->f->_lines.empty() && _fs->f->_lines.back().op > incstart)
            _fs->f->_lines.pop_back();
        BeginLoop();
        ScopedStatement();
        int cont = Code();
        for (auto& i : inc) _fs->f->_code.push_back(i);
        if (fj.empty())
            JumpTo(condstart);
        else
            LoopBack(condstart, incstart);
        int end = Code();
        for (int f : fj) PatchJump(f, end);
        EndLoop(cont, end);
        PopLocals(n);
    }

    void ForEachStatement() {
        Lex();
        Expect('(');
        SQObjectPtr keyname, valname = ExpectIdent();
        if (_token == ',') {
            keyname = valname;
            Lex();
            valname = ExpectIdent();
        }
        Expect(TK_IN);
        int n = NLocals();
        int c = NewTemp();
        {
            Exp e;
            CommaExpr(e);
            ToTarget(e, c);
        }
        Expect(')');
        DeclareHidden(c);
        int k = NewTemp();
        int v = NewTemp();
        int it = NewTemp();
        Emit(OP_LOADNULLS, k, 0, 0, 3);
        if (sq_type(keyname) == OT_NULL) keyname = _ss->Str("@INDEX@");
        DeclareLocal(keyname, k);
        DeclareLocal(valname, v);
        DeclareHidden(it);
        int start = Emit(OP_FOREACH, c, k);
        BeginLoop();
        ScopedStatement();
        JumpTo(start);
        int end = Code();
        PatchJump(start, end);
        EndLoop(start, end);
        PopLocals(n);
    }

    void SwitchStatement() {
        Lex();
        Expect('(');
        int s = NewTemp();
        {
            Exp e;
            CommaExpr(e);
            ToTarget(e, s);
        }
        Expect(')');
        Expect('{');
        int n = NLocals();
        DeclareHidden(s);
        BeginLoop(true);
        int tonext = -1, skip = -1;
        while (_token == TK_CASE) {
            if (tonext != -1) {
                skip = Emit(OP_JMP);
                PatchJump(tonext, Code());
            }
            Lex();
            int base = _fs->top;
            Exp e;
            Expression(e);
            int r = ToReg(e);
            int t = NewTemp();
            Emit(OP_EQ, t, s, r);
            tonext = Emit(OP_JZ, t);
            FreeTo(base);
            Expect(':');
            if (skip != -1) {
                PatchJump(skip, Code());
                skip = -1;
            }
            int bn = NLocals();
            while (_token != TK_CASE && _token != TK_DEFAULT && _token != '}' && _token != 0) {
                Statement();
                if (_lex._prevtoken != '}' && _lex._prevtoken != ';') OptionalSemicolon();
            }
            PopLocals(bn);
        }
        if (tonext != -1) PatchJump(tonext, Code());
        if (_token == TK_DEFAULT) {
            Lex();
            Expect(':');
            int bn = NLocals();
            while (_token != '}' && _token != TK_CASE) {
                Statement();
                if (_lex._prevtoken != '}' && _lex._prevtoken != ';') OptionalSemicolon();
            }
            PopLocals(bn);
        }
        Expect('}');
        PopLocals(n + 1); // hidden switch value stays until the breaks are patched
        int end = Code();
        Loop l = _fs->loops.back();
        _fs->loops.pop_back();
        for (int j : l.breaks) PatchJump(j, end);
        if (!l.continues.empty()) {
            // continue inside switch belongs to the enclosing loop
            int li = (int)_fs->loops.size() - 1;
            while (li >= 0 && _fs->loops[li].isswitch) li--;
            for (int j : l.continues) _fs->loops[li].continues.push_back(j);
        }
        PopLocals(n);
    }

    void LocalDeclStatement() {
        Lex();
        if (_token == TK_FUNCTION) {
            Lex();
            SQObjectPtr name = ExpectIdent();
            int r = NewTemp();
            Emit(OP_LOADNULLS, r, 0, 0, 1);
            DeclareLocal(name, r); // visible inside its own body (recursion)
            int t = FunctionExp(name, false);
            Emit(OP_MOVE, r, t);
            FreeTo(r + 1);
            return;
        }
        for (;;) {
            SQObjectPtr name = ExpectIdent();
            int r = _fs->top;
            if (_token == '=') {
                Lex();
                Exp e;
                Expression(e);
                ToTarget(e, r);
            } else {
                r = NewTemp();
                Emit(OP_LOADNULLS, r, 0, 0, 1);
            }
            FreeTo(r + 1);
            DeclareLocal(name, r);
            if (_token != ',') break;
            Lex();
        }
    }

    // Name of a declaration: `a`, `a.b.c`, `a::b`, `::a`. Returns the object register; key set.
    int DeclTarget(SQObjectPtr& key) {
        int obj = 0; // `this`
        if (_token == TK_DOUBLE_COLON) {
            Lex();
            obj = NewTemp();
            Emit(OP_LOADROOT, obj);
        }
        key = ExpectIdent();
        bool first = obj == 0;
        while (_token == TK_DOUBLE_COLON || _token == '.') {
            Lex();
            if (first) {
                Exp e;
                int li = FindLocal(_fs, key);
                int oi = li < 0 ? FindOuter(_fs, key) : -1;
                if (li >= 0)
                    obj = _fs->locals[li].reg;
                else if (oi >= 0) {
                    obj = NewTemp();
                    Emit(OP_GETOUTER, obj, 0, 0, oi);
                } else {
                    obj = NewTemp();
                    Emit(OP_GETVAR, obj, 0, 0, Literal(key));
                }
            } else {
                int t = NewTemp();
                Emit(OP_GETK, t, obj, 0, Literal(key));
                obj = t;
            }
            first = false;
            key = ExpectIdent();
        }
        return obj;
    }

    // function a.b.c() / function a::b()
    void FunctionStatement() {
        Lex();
        int base = _fs->top;
        SQObjectPtr key;
        int obj = DeclTarget(key);
        int k = NewTemp();
        Emit(OP_LOAD, k, 0, 0, Literal(key));
        int f = FunctionExp(key, false);
        Emit(OP_NEWSLOT, NOREG, obj, k, f);
        FreeTo(base);
    }

    void ClassStatement() {
        Lex();
        int base = _fs->top;
        SQObjectPtr key;
        int obj = DeclTarget(key);
        int k = NewTemp();
        Emit(OP_LOAD, k, 0, 0, Literal(key));
        int c = ClassExp();
        Emit(OP_NEWSLOT, NOREG, obj, k, c);
        FreeTo(base);
    }

    SQObjectPtr ScalarConst() {
        SQObjectPtr v;
        bool neg = false;
        if (_token == '-') {
            neg = true;
            Lex();
        }
        switch (_token) {
        case TK_INTEGER:
            v = SQObjectPtr(neg ? (SQInteger)(0u - (uint32_t)_lex._nvalue) : _lex._nvalue);
            break;
        case TK_FLOAT:
            v = SQObjectPtr(neg ? -_lex._fvalue : _lex._fvalue);
            break;
        case TK_STRING_LITERAL:
            if (neg) Error("scalar expected : integer,float or string");
            v = SQString::Create(_ss, _lex._longstr);
            break;
        default:
            Error("scalar expected : integer,float or string");
        }
        Lex();
        return v;
    }

    void ConstStatement() {
        Lex();
        SQObjectPtr name = ExpectIdent();
        Expect('=');
        SQObjectPtr v = ScalarConst();
        if (sq_type(_ss->_consttable) == OT_TABLE) _table(_ss->_consttable)->NewSlot(name, v);
        OptionalSemicolon();
    }

    void EnumStatement() {
        Lex();
        SQObjectPtr name = ExpectIdent();
        SQObjectPtr tbl(SQTable::Create(_ss, 0));
        Expect('{');
        SQInteger next = 0;
        while (_token != '}') {
            SQObjectPtr key = ExpectIdent();
            SQObjectPtr v;
            if (_token == '=') {
                Lex();
                v = ScalarConst();
            } else {
                v = SQObjectPtr(next);
                next++;
            }
            _table(tbl)->NewSlot(key, v);
            if (_token == ',') Lex();
        }
        Lex();
        if (sq_type(_ss->_consttable) == OT_TABLE) _table(_ss->_consttable)->NewSlot(name, tbl);
    }

    void TryCatchStatement() {
        Lex();
        int exreg = _fs->top;
        int trap = Emit(OP_PUSHTRAP, exreg);
        _fs->ntraps++;
        int n = NLocals();
        for (auto& l : _fs->loops) (void)l;
        ScopedStatementBlock();
        PopLocals(n);
        _fs->ntraps--;
        Emit(OP_POPTRAP, 0, 0, 0, 1);
        int j = Emit(OP_JMP);
        PatchJump(trap, Code());
        Expect(TK_CATCH);
        Expect('(');
        SQObjectPtr name = ExpectIdent();
        Expect(')');
        int r = NewTemp();
        (void)r;
        DeclareLocal(name, exreg);
        ScopedStatementBlock();
        PopLocals(n);
        PatchJump(j, Code());
    }

    void ScopedStatementBlock() {
        int n = NLocals();
        Statement();
        if (_lex._prevtoken != '}' && _lex._prevtoken != ';') OptionalSemicolon();
        PopLocals(n);
    }

    // ------------------------------------------------------------ expressions
    void CommaExpr(Exp& e) {
        Expression(e);
        while (_token == ',') {
            Discard(e);
            int base = e.k == E_TEMP ? e.r : _fs->top;
            FreeTo(base > LocalsTop() ? base : LocalsTop());
            Lex();
            Expression(e);
        }
    }

    void Expression(Exp& e) {
        DepthGuard g(this);
        int base = _fs->top;
        LogicalOrExp(e);
        switch (_token) {
        case '=':
        case TK_NEWSLOT:
        case TK_PLUSEQ:
        case TK_MINUSEQ:
        case TK_MULEQ:
        case TK_DIVEQ:
        case TK_MODEQ: {
            SQInteger op = _token;
            if (e.k != E_LOCAL && e.k != E_FIELD && e.k != E_FIELDK && e.k != E_OUTER &&
                e.k != E_VAR)
                Error("can't assign expression");
            if (op == TK_NEWSLOT && (e.k == E_LOCAL || e.k == E_OUTER))
                Error("can't 'create' a local slot");
            Lex();
            Assign(e, op, base);
            break;
        }
        case '?': {
            Lex();
            int t = base;
            FreeTo(base);
            int r = ToRegFrom(e, base);
            int jz = Emit(OP_JZ, r);
            FreeTo(base);
            t = NewTemp();
            FreeTo(base);
            Exp a;
            Expression(a);
            ToTarget(a, t);
            int jend = Emit(OP_JMP);
            Expect(':');
            PatchJump(jz, Code());
            FreeTo(base);
            Exp b;
            Expression(b);
            ToTarget(b, t);
            PatchJump(jend, Code());
            FreeTo(t + 1);
            e = Exp();
            e.k = E_TEMP;
            e.r = t;
            e.base = base;
            break;
        }
        default:
            break;
        }
    }

    int ToRegFrom(Exp& e, int) { return ToReg(e); }

    uint8_t ArithOpFor(SQInteger tok) {
        switch (tok) {
        case TK_PLUSEQ:
            return OP_ADD;
        case TK_MINUSEQ:
            return OP_SUB;
        case TK_MULEQ:
            return OP_MUL;
        case TK_DIVEQ:
            return OP_DIV;
        case TK_MODEQ:
            return OP_MOD;
        }
        return OP_ADD;
    }

    // Key of a field target as a register (loads the literal key when needed).
    int FieldKeyReg(Exp& e) {
        if (e.k == E_FIELD) return e.r2;
        int k = NewTemp();
        Emit(OP_LOAD, k, 0, 0, e.idx);
        e.k = E_FIELD;
        e.r2 = k;
        return k;
    }

    void Assign(Exp& e, SQInteger op, int base) {
        switch (e.k) {
        case E_LOCAL: {
            Exp v;
            Expression(v);
            if (op == '=') {
                ToTarget(v, e.r);
            } else {
                EmitArith(ArithOpFor(op), e.r, e.r, v);
            }
            FreeTo(base);
            break;
        }
        case E_FIELD:
        case E_FIELDK: {
            int obj = e.r;
            int key = FieldKeyReg(e);
            if (op == '=' || op == TK_NEWSLOT) {
                Exp v;
                Expression(v);
                int rv = ToReg(v);
                FreeTo(base);
                int t = NewTemp();
                if (op == '=')
                    Emit(OP_SET, t, obj, key, rv);
                else {
                    Emit(OP_NEWSLOT, NOREG, obj, key, rv);
                    Emit(OP_MOVE, t, rv);
                }
                e = Exp();
                e.k = E_TEMP;
                e.r = t;
                e.base = base;
                return;
            }
            int cur = NewTemp();
            Emit(OP_GET, cur, obj, key);
            Exp v;
            Expression(v);
            EmitArith(ArithOpFor(op), cur, cur, v);
            FreeTo(base);
            int t = NewTemp();
            Emit(OP_SET, t, obj, key, cur);
            e = Exp();
            e.k = E_TEMP;
            e.r = t;
            e.base = base;
            return;
        }
        case E_OUTER: {
            int idx = e.idx;
            int t = NewTemp();
            if (op != '=') Emit(OP_GETOUTER, t, 0, 0, idx);
            Exp v;
            Expression(v);
            if (op == '=')
                ToTarget(v, t);
            else {
                EmitArith(ArithOpFor(op), t, t, v);
            }
            Emit(OP_SETOUTER, NOREG, t, 0, idx);
            FreeTo(t + 1);
            e = Exp();
            e.k = E_TEMP;
            e.r = t;
            e.base = base;
            return;
        }
        case E_VAR: {
            int idx = e.idx;
            if (op == TK_NEWSLOT) {
                int k = NewTemp();
                Emit(OP_LOAD, k, 0, 0, idx);
                Exp v;
                Expression(v);
                int rv = ToReg(v);
                Emit(OP_NEWSLOT, NOREG, 0, k, rv);
                FreeTo(base);
                int t = NewTemp();
                Emit(OP_MOVE, t, rv == t ? k : rv);
                if (rv == t) Error("internal compiler error");
                e = Exp();
                e.k = E_TEMP;
                e.r = t;
                e.base = base;
                return;
            }
            int t = NewTemp();
            if (op != '=') Emit(OP_GETVAR, t, 0, 0, idx);
            Exp v;
            Expression(v);
            if (op == '=')
                ToTarget(v, t);
            else {
                EmitArith(ArithOpFor(op), t, t, v);
            }
            Emit(OP_SETVAR, NOREG, t, 0, idx);
            FreeTo(t + 1);
            e = Exp();
            e.k = E_TEMP;
            e.r = t;
            e.base = base;
            return;
        }
        default:
            Error("can't assign expression");
        }
    }

    // Binary operator helper: left already parsed in e.

    void EmitBinary(Exp& e, uint8_t op, int base, void (Compiler::*next)(Exp&)) {
        int rl = ToReg(e);
        Exp r;
        (this->*next)(r);
        int kop = ConstantForm(op);
        if (kop >= 0 && r.k == E_LITERAL && sq_type(r.val) == OT_INTEGER &&
            !(op == OP_SUB && _integer(r.val) == INT32_MIN)) {
            // integer constant on the right: the instruction carries it, no register load
            FreeTo(base);
            int t = NewTemp();
            Emit(kop, t, rl, 0, _integer(r.val));
            e = Exp();
            e.k = E_TEMP;
            e.r = t;
            e.base = base;
            return;
        }
        int rr = ToReg(r);
        FreeTo(base);
        int t = NewTemp();
        SQInstruction* last = Code() ? &_fs->f->_code.back() : nullptr;
        if (op == OP_ADD && rl == t && rr != t && last && last->op == OP_ADD && last->a == t &&
            _fs->lastjumptarget != Code() &&
            (_fs->f->_lines.empty() || _fs->f->_lines.back().op != Code())) {
            // (x + y) + z straight after x + y: one instruction, no intermediate string
            last->op = OP_ADD3;
            last->x = rr;
        } else
            Emit(op, t, rl, rr);
        e = Exp();
        e.k = E_TEMP;
        e.r = t;
        e.base = base;
    }

    void LogicalOrExp(Exp& e) {
        int base = _fs->top;
        LogicalAndExp(e);
        while (_token == TK_OR) {
            Lex();
            int t = ToReg(e);
            if (!(e.k == E_TEMP && t == base)) {
                FreeTo(base);
                int nt = NewTemp();
                Emit(OP_MOVE, nt, t);
                t = nt;
            }
            FreeTo(base + 1);
            int j = Emit(OP_JNZ, t);
            Exp r;
            LogicalAndExp(r);
            ToTarget(r, t);
            PatchJump(j, Code());
            FreeTo(t + 1);
            e = Exp();
            e.k = E_TEMP;
            e.r = t;
            e.base = base;
        }
    }

    void LogicalAndExp(Exp& e) {
        int base = _fs->top;
        BitwiseOrExp(e);
        while (_token == TK_AND) {
            Lex();
            int t = ToReg(e);
            if (!(e.k == E_TEMP && t == base)) {
                FreeTo(base);
                int nt = NewTemp();
                Emit(OP_MOVE, nt, t);
                t = nt;
            }
            FreeTo(base + 1);
            int j = Emit(OP_JZ, t);
            Exp r;
            BitwiseOrExp(r);
            ToTarget(r, t);
            PatchJump(j, Code());
            FreeTo(t + 1);
            e = Exp();
            e.k = E_TEMP;
            e.r = t;
            e.base = base;
        }
    }

    void BitwiseOrExp(Exp& e) {
        int base = _fs->top;
        BitwiseXorExp(e);
        while (_token == '|') {
            Lex();
            EmitBinary(e, OP_BOR, base, &Compiler::BitwiseXorExp);
        }
    }
    void BitwiseXorExp(Exp& e) {
        int base = _fs->top;
        BitwiseAndExp(e);
        while (_token == '^') {
            Lex();
            EmitBinary(e, OP_BXOR, base, &Compiler::BitwiseAndExp);
        }
    }
    void BitwiseAndExp(Exp& e) {
        int base = _fs->top;
        EqExp(e);
        while (_token == '&') {
            Lex();
            EmitBinary(e, OP_BAND, base, &Compiler::EqExp);
        }
    }
    void EqExp(Exp& e) {
        int base = _fs->top;
        CompExp(e);
        for (;;) {
            if (_token == TK_EQ) {
                Lex();
                EmitBinary(e, OP_EQ, base, &Compiler::CompExp);
            } else if (_token == TK_NE) {
                Lex();
                EmitBinary(e, OP_NE, base, &Compiler::CompExp);
            } else
                break;
        }
    }
    void CompExp(Exp& e) {
        int base = _fs->top;
        ShiftExp(e);
        for (;;) {
            switch (_token) {
            case '>':
                Lex();
                EmitBinary(e, OP_GT, base, &Compiler::ShiftExp);
                continue;
            case '<':
                Lex();
                EmitBinary(e, OP_LT, base, &Compiler::ShiftExp);
                continue;
            case TK_GE:
                Lex();
                EmitBinary(e, OP_GE, base, &Compiler::ShiftExp);
                continue;
            case TK_LE:
                Lex();
                EmitBinary(e, OP_LE, base, &Compiler::ShiftExp);
                continue;
            case TK_3WAYSCMP:
                Lex();
                EmitBinary(e, OP_CMP3, base, &Compiler::ShiftExp);
                continue;
            case TK_IN:
                Lex();
                EmitBinary(e, OP_IN, base, &Compiler::ShiftExp);
                continue;
            case TK_INSTANCEOF:
                Lex();
                EmitBinary(e, OP_INSTANCEOF, base, &Compiler::ShiftExp);
                continue;
            default:
                return;
            }
        }
    }
    void ShiftExp(Exp& e) {
        int base = _fs->top;
        PlusExp(e);
        for (;;) {
            if (_token == TK_SHIFTL) {
                Lex();
                EmitBinary(e, OP_SHL, base, &Compiler::PlusExp);
            } else if (_token == TK_SHIFTR) {
                Lex();
                EmitBinary(e, OP_SHR, base, &Compiler::PlusExp);
            } else if (_token == TK_USHIFTR) {
                Lex();
                EmitBinary(e, OP_USHR, base, &Compiler::PlusExp);
            } else
                break;
        }
    }
    void PlusExp(Exp& e) {
        int base = _fs->top;
        MultExp(e);
        for (;;) {
            if (_token == '+') {
                Lex();
                EmitBinary(e, OP_ADD, base, &Compiler::MultExp);
            } else if (_token == '-') {
                Lex();
                EmitBinary(e, OP_SUB, base, &Compiler::MultExp);
            } else
                break;
        }
    }
    void MultExp(Exp& e) {
        int base = _fs->top;
        PrefixedExp(e);
        for (;;) {
            if (_token == '*') {
                Lex();
                EmitBinary(e, OP_MUL, base, &Compiler::PrefixedExp);
            } else if (_token == '/') {
                Lex();
                EmitBinary(e, OP_DIV, base, &Compiler::PrefixedExp);
            } else if (_token == '%') {
                Lex();
                EmitBinary(e, OP_MOD, base, &Compiler::PrefixedExp);
            } else
                break;
        }
    }

    void UnaryOp(Exp& e, uint8_t op) {
        int base = _fs->top;
        Lex();
        PrefixedExp(e);
        if (op == OP_UNM && e.k == E_LITERAL) {
            if (sq_type(e.val) == OT_INTEGER) {
                e.val = SQObjectPtr((SQInteger)(0u - (uint32_t)_integer(e.val)));
                return;
            }
            if (sq_type(e.val) == OT_FLOAT) {
                e.val = SQObjectPtr(-_float(e.val));
                return;
            }
        }
        int r = ToReg(e);
        FreeTo(base);
        int t = NewTemp();
        Emit(op, t, r);
        e = Exp();
        e.k = E_TEMP;
        e.r = t;
        e.base = base;
    }

    void IncDec(Exp& e, int delta, bool postfix, int base) {
        switch (e.k) {
        case E_LOCAL: {
            if (postfix) {
                int t = NewTemp();
                Emit(OP_PINCL, t, e.r, 0, delta);
                e = Exp();
                e.k = E_TEMP;
                e.r = t;
                e.base = base;
            } else
                Emit(OP_INCL, NOREG, e.r, 0, delta);
            return;
        }
        case E_FIELD:
        case E_FIELDK: {
            int obj = e.r;
            int key = FieldKeyReg(e);
            int cur = NewTemp();
            Emit(OP_GET, cur, obj, key);
            int nv = NewTemp();
            Emit(OP_ADDK, nv, cur, 0, delta);
            Emit(OP_SET, NOREG, obj, key, nv);
            int res = postfix ? cur : nv;
            FreeTo(base);
            int t = NewTemp();
            if (t != res) Emit(OP_MOVE, t, res);
            e = Exp();
            e.k = E_TEMP;
            e.r = t;
            e.base = base;
            return;
        }
        case E_OUTER:
        case E_VAR: {
            bool outer = e.k == E_OUTER;
            int idx = e.idx;
            FreeTo(base);
            int cur = NewTemp();
            Emit(outer ? OP_GETOUTER : OP_GETVAR, cur, 0, 0, idx);
            int nv = NewTemp();
            Emit(OP_ADDK, nv, cur, 0, delta);
            Emit(outer ? OP_SETOUTER : OP_SETVAR, NOREG, nv, 0, idx);
            if (!postfix) Emit(OP_MOVE, cur, nv);
            FreeTo(cur + 1);
            e = Exp();
            e.k = E_TEMP;
            e.r = cur;
            e.base = base;
            return;
        }
        default:
            Error("can't assign expression");
        }
    }

    void PrefixedExp(Exp& e) {
        DepthGuard g(this);
        int base = _fs->top;
        switch (_token) {
        case '-':
            UnaryOp(e, OP_UNM);
            return;
        case '!':
            UnaryOp(e, OP_NOT);
            return;
        case '~':
            UnaryOp(e, OP_BNOT);
            return;
        case TK_TYPEOF:
            UnaryOp(e, OP_TYPEOF);
            return;
        case TK_RESUME:
            UnaryOp(e, OP_RESUME);
            return;
        case TK_CLONE:
            UnaryOp(e, OP_CLONE);
            return;
        case TK_PLUSPLUS:
        case TK_MINUSMINUS: {
            int delta = _token == TK_PLUSPLUS ? 1 : -1;
            Lex();
            PrefixedExp(e);
            IncDec(e, delta, false, base);
            return;
        }
        case TK_DELETE: {
            Lex();
            PrefixedExp(e);
            if (e.k != E_FIELD && e.k != E_FIELDK) Error("can't delete an expression");
            int obj = e.r;
            int key = FieldKeyReg(e);
            FreeTo(base);
            int t = NewTemp();
            Emit(OP_DELETE, t, obj, key);
            e = Exp();
            e.k = E_TEMP;
            e.r = t;
            e.base = base;
            return;
        }
        default:
            break;
        }
        Factor(e);
        PostfixLoop(e, base);
    }

    void PostfixLoop(Exp& e, int base) {
        for (;;) {
            switch (_token) {
            case '.': {
                Lex();
                SQObjectPtr key = ExpectIdent();
                if (e.k == E_ENUM) {
                    SQObjectPtr v;
                    if (!_table(e.val)->Get(key, v)) {
                        Error("invalid constant [%s.%s]",
                              vm_toutf8(_enumname.data(), _enumname.size()).c_str(),
                              vm_toutf8(_string(key)->_val, _string(key)->_len).c_str());
                    }
                    e.k = E_LITERAL;
                    e.val = v;
                    continue;
                }
                bool isbase = e.k == E_BASE;
                int obj = ToReg(e);
                Exp n;
                n.k = E_FIELDK;
                n.r = obj;
                n.idx = Literal(key);
                n.base = base;
                n.isbase = isbase;
                e = n;
                continue;
            }
            case '[': {
                if (_lex._nlbefore) return;
                Lex();
                bool isbase = e.k == E_BASE;
                int obj = ToReg(e);
                Exp k;
                Expression(k);
                int kr = ToNextTemp(k);
                Expect(']');
                Exp n;
                n.k = E_FIELD;
                n.r = obj;
                n.r2 = kr;
                n.base = base;
                n.isbase = isbase;
                e = n;
                continue;
            }
            case '(': {
                Lex();
                CallExp(e, base);
                continue;
            }
            case TK_PLUSPLUS:
            case TK_MINUSMINUS: {
                if (_lex._nlbefore) return;
                int delta = _token == TK_PLUSPLUS ? 1 : -1;
                Lex();
                IncDec(e, delta, true, base);
                return;
            }
            default:
                return;
            }
        }
    }

    void CallExp(Exp& e, int base) {
        int f;
        if (e.k == E_FIELD || e.k == E_FIELDK) {
            FreeTo(base);
            f = NewTemp();
            NewTemp();
            if (e.k == E_FIELD)
                Emit(OP_PREPCALL, f, e.r, e.r2);
            else
                Emit(OP_PREPCALLK, f, e.r, 0, e.idx);
            if (e.isbase) Emit(OP_MOVE, f + 1, 0);
        } else {
            int r = ToReg(e);
            FreeTo(base);
            f = NewTemp();
            if (r != f) Emit(OP_MOVE, f, r);
            int t = NewTemp();
            Emit(OP_MOVE, t, 0);
        }
        int nargs = 1;
        while (_token != ')') {
            Exp a;
            Expression(a);
            ToNextTemp(a);
            nargs++;
            if (_token == ',') {
                Lex();
                if (_token == ')') Error("expression expected, found ')'");
            } else if (_token != ')')
                Error("expected ')'");
        }
        Lex();
        // the call keeps the line where its statement began, as the reference reports it
        Emit(OP_CALL, f, f, nargs);
        FreeTo(f + 1);
        e = Exp();
        e.k = E_TEMP;
        e.r = f;
        e.base = base;
    }

    sqstring _enumname;

    void Factor(Exp& e) {
        int base = _fs->top;
        e = Exp();
        e.base = base;
        switch (_token) {
        case TK_STRING_LITERAL:
            e.k = E_LITERAL;
            e.val = SQString::Create(_ss, _lex._longstr);
            Lex();
            return;
        case TK_INTEGER:
            e.k = E_LITERAL;
            e.val = SQObjectPtr(_lex._nvalue);
            Lex();
            return;
        case TK_FLOAT:
            e.k = E_LITERAL;
            e.val = SQObjectPtr(_lex._fvalue);
            Lex();
            return;
        case TK_TRUE:
            e.k = E_LITERAL;
            e.val = SQObjectPtr(true);
            Lex();
            return;
        case TK_FALSE:
            e.k = E_LITERAL;
            e.val = SQObjectPtr(false);
            Lex();
            return;
        case TK_NULL:
            e.k = E_LITERAL;
            e.val.Null();
            Lex();
            return;
        case TK_THIS:
            e.k = E_LOCAL;
            e.r = 0;
            Lex();
            return;
        case TK_BASE: {
            Lex();
            int t = NewTemp();
            Emit(OP_GETBASE, t);
            e.k = E_BASE;
            e.r = t;
            return;
        }
        case TK_DOUBLE_COLON: {
            Lex();
            int t = NewTemp();
            Emit(OP_LOADROOT, t);
            SQObjectPtr key = ExpectIdent();
            e.k = E_FIELDK;
            e.r = t;
            e.idx = Literal(key);
            return;
        }
        case TK_IDENTIFIER:
        case TK_CONSTRUCTOR: {
            SQObjectPtr name = ExpectIdent();
            int li = FindLocal(_fs, name);
            if (li >= 0) {
                e.k = E_LOCAL;
                e.r = _fs->locals[li].reg;
                return;
            }
            int oi = FindOuter(_fs, name);
            if (oi >= 0) {
                e.k = E_OUTER;
                e.idx = oi;
                return;
            }
            SQObjectPtr cv;
            if (FindConstant(name, cv)) {
                if (sq_type(cv) == OT_TABLE) {
                    e.k = E_ENUM;
                    e.val = cv;
                    _enumname = _string(name)->str();
                } else {
                    e.k = E_LITERAL;
                    e.val = cv;
                }
                return;
            }
            e.k = E_VAR;
            e.idx = Literal(name);
            return;
        }
        case '(': {
            Lex();
            CommaExpr(e);
            Expect(')');
            return;
        }
        case '[': {
            Lex();
            int t = NewTemp();
            int at = Emit(OP_NEWARRAY, t);
            int n = 0;
            while (_token != ']') {
                if (_token == 0) Error("expected ']'");
                Exp v;
                Expression(v);
                int r = ToReg(v);
                Emit(OP_APPENDARRAY, t, r);
                FreeTo(t + 1);
                n++;
                if (_token == ',') Lex();
            }
            Lex();
            _fs->f->_code[at].x = n;
            e.k = E_TEMP;
            e.r = t;
            return;
        }
        case '{': {
            Lex();
            int t = NewTemp();
            Emit(OP_NEWTABLE, t);
            TableBody(t, '}');
            e.k = E_TEMP;
            e.r = t;
            return;
        }
        case TK_FUNCTION: {
            Lex();
            int t = FunctionExp(SQObjectPtr(), false);
            e.k = E_TEMP;
            e.r = t;
            return;
        }
        case '@': {
            Lex();
            int t = FunctionExp(SQObjectPtr(), true);
            e.k = E_TEMP;
            e.r = t;
            return;
        }
        case TK_CLASS: {
            Lex();
            int t = ClassExp();
            e.k = E_TEMP;
            e.r = t;
            return;
        }
        case '-':
        case '!':
        case '~':
        case TK_TYPEOF:
        case TK_RESUME:
        case TK_CLONE:
        case TK_DELETE:
        case TK_PLUSPLUS:
        case TK_MINUSMINUS:
            PrefixedExp(e);
            return;
        default:
            Error("expression expected");
        }
    }

    void TableBody(int t, SQInteger terminator) {
        while (_token != terminator) {
            if (_token == 0) Error("expected '%c'", (int)terminator);
            int base = _fs->top;
            if (_token == TK_FUNCTION) {
                Lex();
                SQObjectPtr key = ExpectIdent();
                int f = FunctionExp(key, false);
                Emit(OP_NEWSLOTK, 0, t, f, Literal(key));
            } else if (_token == '[') {
                Lex();
                Exp k;
                Expression(k);
                int kr = ToNextTemp(k);
                Expect(']');
                Expect('=');
                Exp v;
                Expression(v);
                int vr = ToReg(v);
                Emit(OP_NEWSLOT, NOREG, t, kr, vr);
            } else if (_token == TK_STRING_LITERAL && terminator == '}') {
                SQObjectPtr key(SQString::Create(_ss, _lex._longstr));
                Lex();
                Expect(':');
                Exp v;
                Expression(v);
                int vr = ToReg(v);
                Emit(OP_NEWSLOTK, 0, t, vr, Literal(key));
            } else {
                SQObjectPtr key = ExpectIdent();
                Expect('=');
                Exp v;
                Expression(v);
                int vr = ToReg(v);
                Emit(OP_NEWSLOTK, 0, t, vr, Literal(key));
            }
            FreeTo(base);
            if (_token == ',') Lex();
        }
        Lex();
    }

    // Returns the value in r; a call whose result is returned at once reuses the caller's frame,
    // so it leaves the call stack, except inside a try and in functions taking varargs.
    void EmitReturn(const Exp& e, int r) {
        if (Code() && e.k == E_TEMP && _fs->ntraps == 0 && !_fs->f->_varparams &&
            _fs->lastjumptarget != Code()) {
            SQInstruction& last = _fs->f->_code.back();
            if (last.op == OP_CALL && last.a == r && last.b == r) last.op = OP_TAILCALL;
        }
        Emit(OP_RETURN, r, 1);
    }

    // Parses `(params) body` (or a lambda expression); emits CLOSURE into a new temp.
    int FunctionExp(const SQObjectPtr& name, bool lambda) {
        DepthGuard g(this);
        Expect('(');
        int base = _fs->top;
        std::vector<SQObjectPtr> params;
        bool varparams = false;
        int ndefaults = 0;
        while (_token != ')') {
            if (_token == TK_VARPARAMS) {
                if (ndefaults > 0)
                    Error("function with default parameters cannot have variable number of "
                          "parameters");
                varparams = true;
                Lex();
                if (_token != ')') Error("expected ')'");
                break;
            }
            SQObjectPtr pn = ExpectIdent();
            params.push_back(pn);
            if (_token == '=') {
                Lex();
                Exp d;
                Expression(d);
                ToNextTemp(d);
                ndefaults++;
            } else if (ndefaults > 0)
                Error("expected '='");
            if (_token == ',')
                Lex();
            else if (_token != ')')
                Error("expected ')'");
        }
        Lex();
        FuncState* parent = _fs;
        FuncState fs;
        OpenFunction(fs, parent);
        fs.f->_name = name;
        AddParam(fs, _ss->_thisname);
        for (auto& p : params) AddParam(fs, p);
        if (varparams) {
            fs.f->_varparams = true;
            SQInteger np = fs.f->_nparams;
            AddParam(fs, _ss->_vargvname);
            fs.f->_nparams = np;
        }
        fs.f->_ndefaults = ndefaults;
        AddLine(_lex._currentline, false);
        if (lambda) {
            Exp e;
            Expression(e);
            int r = ToReg(e);
            EmitReturn(e, r);
        } else {
            if (_token != '{') Error("expected '{'");
            Statement();
        }
        CloseFunction(fs);
        _fs = parent;
        int idx = (int)parent->f->_functions.size();
        parent->f->_functions.push_back(fs.fobj);
        FreeTo(base);
        int t = NewTemp();
        for (int i = 0; i < ndefaults; i++)
            if (base + i >= _fs->maxstack) _fs->maxstack = base + i + 1;
        Emit(OP_CLOSURE, t, 0, 0, idx);
        return t;
    }

    // class [extends expr] [</ attrs />] { members }; emits CLASS into a new temp.
    int ClassExp() {
        DepthGuard g(this);
        int base = _fs->top;
        int basereg = NOREG, attrreg = NOREG;
        if (_token == TK_EXTENDS) {
            Lex();
            Exp b;
            Expression(b);
            basereg = ToNextTemp(b);
        }
        if (_token == TK_ATTR_OPEN) {
            Lex();
            attrreg = NewTemp();
            Emit(OP_NEWTABLE, attrreg);
            TableBody(attrreg, TK_ATTR_CLOSE);
        }
        Expect('{');
        FreeTo(base);
        int t = NewTemp();
        Emit(OP_CLASS, t, basereg, attrreg);
        while (_token != '}') {
            if (_token == 0) Error("expected '}'");
            int mbase = _fs->top;
            int ar = NOREG;
            if (_token == TK_ATTR_OPEN) {
                Lex();
                ar = NewTemp();
                Emit(OP_NEWTABLE, ar);
                TableBody(ar, TK_ATTR_CLOSE);
            }
            bool isstatic = false;
            if (_token == TK_STATIC) {
                isstatic = true;
                Lex();
            }
            int kr, vr;
            if (_token == TK_FUNCTION || _token == TK_CONSTRUCTOR) {
                bool ctor = _token == TK_CONSTRUCTOR;
                Lex();
                SQObjectPtr key = ctor ? _ss->_constructorname : ExpectIdent();
                kr = NewTemp();
                Emit(OP_LOAD, kr, 0, 0, Literal(key));
                vr = FunctionExp(key, false);
            } else if (_token == '[') {
                Lex();
                Exp k;
                Expression(k);
                kr = ToNextTemp(k);
                Expect(']');
                Expect('=');
                Exp v;
                Expression(v);
                vr = ToNextTemp(v);
            } else {
                SQObjectPtr key = ExpectIdent();
                kr = NewTemp();
                Emit(OP_LOAD, kr, 0, 0, Literal(key));
                Expect('=');
                Exp v;
                Expression(v);
                vr = ToNextTemp(v);
            }
            int32_t x =
                vr | ((ar == NOREG ? 0 : ar + 1) << 8) | (isstatic ? 1 << 16 : 0) | (1 << 17);
            Emit(OP_NEWSLOT, NOREG, t, kr, x);
            FreeTo(mbase);
            if (_token == ';') Lex();
        }
        Lex();
        FreeTo(t + 1);
        return t;
    }
};

struct BufReader {
    SQLEXREADFUNC f;
    SQUserPointer up;
};

} // namespace

bool vm_compile_source(SQVM* vm, SQLEXREADFUNC rg, SQUserPointer up, const SQChar* sourcename,
                       SQObjectPtr& out, bool raiseerror, bool lineinfo) {
    Compiler c(vm, rg, up, sourcename, lineinfo);
    if (c.Compile(out)) return true;
    sqstring msg = vm_ascii(c._errmsg.c_str());
    SQObjectPtr err(SQString::Create(vm->_sharedstate, msg));
    vm->_lasterror = err;
    if (raiseerror && vm->_sharedstate->_compilererrorhandler)
        vm->_sharedstate->_compilererrorhandler(vm, _string(err)->_val, sourcename, c._errline,
                                                c._errcol);
    return false;
}
