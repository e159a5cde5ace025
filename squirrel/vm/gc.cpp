// Cycle collector. Reference counting frees everything acyclic at once; this pass finds
// groups of objects kept alive only by references among themselves (trial deletion):
// an object whose count exceeds the references from other collectable objects is held
// from outside (stack, host, shared state) and is a root; whatever the roots cannot
// reach is garbage.
#include "vm.h"

namespace {
constexpr int32_t REACHED = -1;

bool collectable(const SQObject& o) {
    if (!ISREFCOUNTED(sq_type(o))) return false;
    switch (sq_type(o)) {
    case OT_STRING:
    case OT_FUNCPROTO:
    case OT_WEAKREF:
        return false;
    default:
        return _refcounted(o)->_ss != nullptr;
    }
}

void dec_ref(void*, SQObject& o) {
    if (collectable(o)) _refcounted(o)->_gcmark--;
}

struct MarkCtx {
    std::vector<SQRefCounted*>* work;
};
void mark_ref(void* ud, SQObject& o) {
    if (!collectable(o)) return;
    SQRefCounted* r = _refcounted(o);
    if (r->_gcmark != REACHED) {
        r->_gcmark = REACHED;
        static_cast<MarkCtx*>(ud)->work->push_back(r);
    }
}
} // namespace

SQInteger SQSharedState::CollectGarbage(SQVM*, SQObjectPtr* resurrect) {
    for (SQRefCounted* o = _gchead; o; o = o->_gcnext) o->_gcmark = (int32_t)o->_uiRef;
    for (SQRefCounted* o = _gchead; o; o = o->_gcnext) o->EnumRefs(dec_ref, nullptr);
    std::vector<SQRefCounted*> work;
    for (SQRefCounted* o = _gchead; o; o = o->_gcnext)
        if (o->_gcmark > 0) {
            o->_gcmark = REACHED;
            work.push_back(o);
        }
    MarkCtx ctx{&work};
    while (!work.empty()) {
        SQRefCounted* o = work.back();
        work.pop_back();
        o->EnumRefs(mark_ref, &ctx);
    }
    std::vector<SQRefCounted*> garbage;
    for (SQRefCounted* o = _gchead; o; o = o->_gcnext)
        if (o->_gcmark != REACHED) garbage.push_back(o);
    SQInteger n = (SQInteger)garbage.size();
    if (resurrect) {
        if (garbage.empty()) {
            resurrect->Null();
            return 0;
        }
        SQArray* arr = SQArray::Create(this, 0);
        for (SQRefCounted* o : garbage) {
            SQObject obj;
            obj._type = o->GetType();
            obj._unVal.raw = 0;
            obj._unVal.pRefCounted = o;
            arr->_values.push_back(SQObjectPtr(obj));
        }
        *resurrect = SQObjectPtr(arr);
        return n;
    }
    for (SQRefCounted* o : garbage) o->_uiRef++;
    for (SQRefCounted* o : garbage) o->Finalize();
    for (SQRefCounted* o : garbage)
        if (--o->_uiRef == 0) vm_destroy(o);
    return n;
}
