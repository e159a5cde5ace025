#include "script/tests/ScriptVm.h"

#include "io/Path.h"
#include "script/Run.h"
#include "script/bind/Bind.h"

#include <sqstdaux.h>
#include <sqstdblob.h>
#include <sqstdio.h>
#include <sqstdmath.h>
#include <sqstdprintf.h>
#include <sqstdstring.h>
#include <sqstdsystem.h>

#include <cstdarg>

namespace KoTest {
namespace {

void capture(HSQUIRRELVM v, bool error, const SQChar* format, va_list args) {
    auto* self = static_cast<ScriptVm*>(sq_getforeignptr(v));
    std::u16string text;
    sqstd::vappendf(text, format, args);
    (error ? self->err : self->out) += KoIO::toUtf8(text);
}

void printOut(HSQUIRRELVM v, const SQChar* format, ...) {
    va_list args;
    va_start(args, format);
    capture(v, false, format, args);
    va_end(args);
}

void printErr(HSQUIRRELVM v, const SQChar* format, ...) {
    va_list args;
    va_start(args, format);
    capture(v, true, format, args);
    va_end(args);
}

} // namespace

ScriptVm::ScriptVm(bool debug) : vm_(sq_open(1024)) {
    sq_setforeignptr(vm_, this);
    sqstd_seterrorhandlers(vm_);
    sq_setprintfunc(vm_, printOut, printErr);
    sq_pushroottable(vm_);
    sqstd_register_iolib(vm_);
    sqstd_register_bloblib(vm_);
    sqstd_register_mathlib(vm_);
    sqstd_register_systemlib(vm_);
    sqstd_register_stringlib(vm_);
    sq_poptop(vm_);
    KoScript::runText(vm_, std::u16string(u"const KOPLAYHOST_VERSION = 10105;const SQUIRREL_VERSION = 30004;DEBUG <- ") +
                                 (debug ? u"true" : u"false") + u";cmdline <- [@\"koplayhost\", ];");
    libraries_ = std::make_unique<KoScript::LibraryList>(vm_);
}

ScriptVm::~ScriptVm() {
    libraries_.reset();
    sq_close(vm_);
}

bool ScriptVm::load(std::shared_ptr<KoScript::Library> library) {
    return libraries_->add(std::move(library));
}

bool ScriptVm::run(std::string_view code) {
    return KoScript::runText(vm_, KoIO::fromUtf8(code), u"test");
}

std::string ScriptVm::eval(std::string_view expression) {
    std::u16string text = u"return (" + KoIO::fromUtf8(expression) + u");";
    SQInteger top = sq_gettop(vm_);
    std::string result;
    if (SQ_SUCCEEDED(sq_compilebuffer(vm_, text.data(), SQInteger(text.size()), u"test", SQTrue))) {
        sq_pushroottable(vm_);
        if (SQ_SUCCEEDED(sq_call(vm_, 1, SQTrue, SQTrue)))
            result = KoIO::toUtf8(KoScript::toString(vm_, -1));
    }
    sq_settop(vm_, top);
    return result;
}

} // namespace KoTest
