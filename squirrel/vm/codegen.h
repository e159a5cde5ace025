// Code generator of the compiler: function state, registers, locals and outers, literals,
// and the instructions the parser asks for (parser.cpp drives it in a single pass).
#pragma once
#include "vm.h"
#include <unordered_map>
#include <vector>

namespace vmc {

struct CompileError {};

enum ExpKind {
    E_TEMP,
    E_LOCAL,
    E_FIELD,
    E_FIELDK,
    E_OUTER,
    E_VAR,
    E_LITERAL,
    E_ENUM,
    E_BASE,
    E_VOID
};

struct Exp {
    ExpKind k = E_VOID;
    int r = 0;           // register: value, or the object of a field
    int r2 = 0;          // key register (E_FIELD)
    int idx = 0;         // literal index (E_FIELDK, E_VAR), outer index (E_OUTER)
    int base = 0;        // first temp register owned by this expression
    bool isbase = false; // the object is `base`: calls take `this` from register 0
    SQObjectPtr val;     // E_LITERAL / E_ENUM
};

struct LiteralKey {
    SQObjectType t;
    SQRawObjectVal v;
    bool operator==(const LiteralKey& o) const { return t == o.t && v == o.v; }
};
struct LiteralHash {
    size_t operator()(const LiteralKey& k) const {
        return std::hash<uint64_t>()(k.v) ^ (size_t)k.t;
    }
};

struct LocalVar {
    SQObjectPtr name;
    int reg;
    int info; // index into the proto's local infos, -1 = hidden
    bool captured;
};

struct Loop {
    std::vector<int> breaks, continues;
    int nlocals;
    int ntraps;
    bool isswitch;
};

struct FuncState {
    FuncState* parent = nullptr;
    SQObjectPtr fobj;
    SQFunctionProto* f = nullptr;
    std::vector<LocalVar> locals;
    int top = 0, maxstack = 0;
    std::unordered_map<LiteralKey, int, LiteralHash> litmap;
    std::vector<Loop> loops;
    int ntraps = 0;
    SQInteger lastline = -1;
    int lastjumptarget = -1; // code position some jump lands on
};

class VmCodeGen {
public:
    VmCodeGen(SQSharedState* ss, bool lineinfo) : _ss(ss), _lineinfo(lineinfo) {}
    virtual ~VmCodeGen() = default;

protected:
    SQSharedState* _ss;
    FuncState* _fs = nullptr;
    bool _lineinfo;
    SQObjectPtr _sourcename;

    // Reports a compile error at the parser's position; does not return.
    [[noreturn]] virtual void Fail(const char* msg) = 0;

    // ------------------------------------------------------------ function state
    void OpenFunction(FuncState& fs, FuncState* parent);
    void AddParam(FuncState& fs, const SQObjectPtr& name);
    void CloseFunction(FuncState& fs);
    int Code();
    int Emit(uint8_t op, int a = 0, int b = 0, int c = 0, int32_t x = 0);
    void AddLine(SQInteger line, bool emitline);
    void PatchJump(int at, int target);
    void JumpTo(int target);
    int NewTemp();
    void FreeTo(int n);
    int NLocals();
    int LocalsTop();
    int Literal(const SQObject& o);
    int StrLiteral(const sqstring& s);
    // Declares the register at the top as a named local.
    void DeclareLocal(const SQObjectPtr& name, int reg);
    void DeclareHidden(int reg);
    // Ends locals down to n; emits CLOSE when a captured one goes.
    void PopLocals(int n, bool emitclose = true);
    // lowest captured register among locals >= n, or -1
    int CaptureCloseReg(int n);
    int FindLocal(FuncState* fs, const SQObject& name);
    int FindOuter(FuncState* fs, const SQObject& name);
    bool FindConstant(const SQObject& name, SQObjectPtr& val);
    // ------------------------------------------------------------ expression values
    void LoadLiteral(int reg, const SQObjectPtr& v);
    // Makes the value readable in a register; returns it (a local or a temp).
    int ToReg(Exp& e);
    // Puts the value in a temp that is exactly the top register.
    int ToNextTemp(Exp& e);
    // Evaluates into register `target`, freeing temps above it.
    void ToTarget(Exp& e, int target);
    // The instruction writes register r as its only effect on r (safe to retarget).
    bool LastWritesTemp(const SQInstruction& i, int r);
    void Discard(Exp& e);
    // a = b op v, with v's integer constant carried by the instruction where it can be
    void EmitArith(uint8_t op, int a, int b, Exp& v);
    // The form of a binary operator that takes an integer constant as its right operand.
    static int ConstantForm(uint8_t op);
};

} // namespace vmc
