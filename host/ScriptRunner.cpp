#include "host/ScriptRunner.h"

#include "script/Run.h"

namespace KoPlayhost {

void ScriptRunner::release() {
    if (closure_._type != OT_NULL) {
        sq_release(vm_, &closure_);
        sq_resetobject(&closure_);
    }
    state_ = Empty;
}

bool ScriptRunner::compile(const std::u16string& fileName) {
    release();
    auto text = KoScript::readScriptFile(fileName);
    if (!text) return false;
    if (SQ_FAILED(sq_compilebuffer(vm_, text->data(), SQInteger(text->size()), fileName.c_str(),
                                   SQTrue))) {
        sq_getlasterror(vm_);
        sq_poptop(vm_);
        return false;
    }
    sq_getstackobj(vm_, -1, &closure_);
    sq_addref(vm_, &closure_);
    sq_poptop(vm_);
    state_ = Ready;
    return true;
}

bool ScriptRunner::step() {
    if (state_ == Ready) {
        baseTop_ = sq_gettop(vm_);
        sq_pushobject(vm_, closure_);
        sq_pushroottable(vm_);
        sq_call(vm_, 1, SQFalse, SQTrue);
    } else if (state_ == Suspended) {
        sq_wakeupvm(vm_, SQFalse, SQFalse, SQTrue, SQFalse);
    } else {
        return false;
    }
    if (sq_getvmstate(vm_) == SQ_VMSTATE_SUSPENDED) {
        state_ = Suspended;
    } else {
        sq_settop(vm_, baseTop_); // the closure, left by the call that has now returned
        state_ = Finished;
    }
    return true;
}

} // namespace KoPlayhost
