#include "script/ScIO.h"

#include "io/Encoding.h"
#include "io/Types.h"
#include "script/Run.h"
#include "script/ScIOClasses.h"

namespace KoScript {

namespace IOClasses {

SQInteger pushIoMember(HSQUIRRELVM v, std::u16string_view name) {
    SQInteger top = sq_gettop(v);
    sq_pushroottable(v);
    KoScript::push(v, u"IO");
    if (SQ_SUCCEEDED(sq_get(v, -2))) {
        KoScript::push(v, name);
        if (SQ_SUCCEEDED(sq_get(v, -2))) {
            sq_remove(v, -2);
            sq_remove(v, -2);
            return 1;
        }
    }
    sq_settop(v, top);
    return KoScript::throwScriptError(v, KoScript::format(u"IO.%s is missing", {name}));
}

} // namespace IOClasses

namespace {

void addEnumeration(HSQUIRRELVM v, SQInteger tableIdx, std::u16string_view name,
                    std::initializer_list<std::pair<const char16_t*, SQInteger>> values) {
    KoScript::pushNewTable(v, tableIdx, name);
    for (const auto& [key, value] : values) KoScript::setValue(v, -1, key, value);
    sq_poptop(v);
}

} // namespace

bool IOLibrary::load(HSQUIRRELVM v) {
    SQInteger top = sq_gettop(v);
    sq_pushroottable(v);
    KoScript::push(v, u"IO");
    sq_newtable(v);
    SQInteger io = sq_gettop(v);
    IOClasses::registerBinaryClasses(v, io);
    IOClasses::registerTextClasses(v, io);
    IOClasses::registerFileClass(v, io);
    addEnumeration(v, io, u"Encoding",
                   {{u"SJIS", KoIO::SHIFT_JIS},
                    {u"SHIFTJIS", KoIO::SHIFT_JIS},
                    {u"UTF8", KoIO::UTF8},
                    {u"UTF16", KoIO::UTF16},
                    {u"UTF16LE", KoIO::UTF16LE},
                    {u"UTF16BE", KoIO::UTF16BE}});
    addEnumeration(v, io, u"OpenOption",
                   {{u"TRUNCATE", KoIO::TRUNCATE}, {u"END", KoIO::END}, {u"APPEND", KoIO::APPEND}});
    bool bound = SQ_SUCCEEDED(sq_newslot(v, -3, SQFalse));
    sq_settop(v, top);
    return bound && runBuiltinScript(v, BuiltinScript::IO);
}

} // namespace KoScript
