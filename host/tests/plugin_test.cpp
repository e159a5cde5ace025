// The plugin loader and the entry-point table plugins are built against.
#include "host/plugin/Plugin.h"
#include "host/plugin/koplugin.h"
#include "script/tests/ScriptVm.h"

#include <gtest/gtest.h>

// The layout plugins are compiled against, written out here on its own: a swapped pair in the
// table would call the wrong function in every plugin.
TEST(Plugin, EntryPointTableOrder) {
    using Fn = void (*)();
    const Fn expected[] = {
        // VM                                                                           0
        Fn(&sq_open),
        Fn(&sq_newthread),
        Fn(&sq_seterrorhandler),
        Fn(&sq_close),
        Fn(&sq_setforeignptr),
        Fn(&sq_getforeignptr),
        Fn(&sq_setprintfunc),
        Fn(&sq_getprintfunc),
        Fn(&sq_geterrorfunc),
        Fn(&sq_suspendvm),
        Fn(&sq_wakeupvm),
        Fn(&sq_getvmstate),
        Fn(&sq_getversion),
        // compiler                                                                    13
        Fn(&sq_compile),
        Fn(&sq_compilebuffer),
        Fn(&sq_enabledebuginfo),
        Fn(&sq_notifyallexceptions),
        Fn(&sq_setcompilererrorhandler),
        // stack                                                                       18
        Fn(&sq_push),
        Fn(&sq_pop),
        Fn(&sq_poptop),
        Fn(&sq_remove),
        Fn(&sq_gettop),
        Fn(&sq_settop),
        Fn(&sq_reservestack),
        Fn(&sq_cmp),
        Fn(&sq_move),
        // object creation                                                             27
        Fn(&sq_newuserdata),
        Fn(&sq_newtable),
        Fn(&sq_newarray),
        Fn(&sq_newclass),
        Fn(&sq_newclosure),
        Fn(&sq_setparamscheck),
        Fn(&sq_bindenv),
        Fn(&sq_pushstring),
        Fn(&sq_pushfloat),
        Fn(&sq_pushinteger),
        Fn(&sq_pushbool),
        Fn(&sq_pushuserpointer),
        Fn(&sq_pushnull),
        // reading values                                                              40
        Fn(&sq_gettype),
        Fn(&sq_getsize),
        Fn(&sq_getbase),
        Fn(&sq_instanceof),
        Fn(&sq_tostring),
        Fn(&sq_tobool),
        Fn(&sq_getstring),
        Fn(&sq_getinteger),
        Fn(&sq_getfloat),
        Fn(&sq_getbool),
        Fn(&sq_getthread),
        Fn(&sq_getuserpointer),
        Fn(&sq_getuserdata),
        Fn(&sq_settypetag),
        Fn(&sq_gettypetag),
        Fn(&sq_setreleasehook),
        Fn(&sq_getscratchpad),
        Fn(&sq_getclosureinfo),
        Fn(&sq_setnativeclosurename),
        Fn(&sq_setinstanceup),
        Fn(&sq_getinstanceup),
        Fn(&sq_setclassudsize),
        Fn(&sq_createinstance),
        Fn(&sq_setattributes),
        Fn(&sq_getattributes),
        Fn(&sq_getclass),
        Fn(&sq_weakref),
        Fn(&sq_getdefaultdelegate),
        // object manipulation                                                         68
        Fn(&sq_pushroottable),
        Fn(&sq_pushregistrytable),
        Fn(&sq_pushconsttable),
        Fn(&sq_setroottable),
        Fn(&sq_setconsttable),
        Fn(&sq_newslot),
        Fn(&sq_deleteslot),
        Fn(&sq_set),
        Fn(&sq_get),
        Fn(&sq_rawget),
        Fn(&sq_rawset),
        Fn(&sq_rawdeleteslot),
        Fn(&sq_arrayappend),
        Fn(&sq_arraypop),
        Fn(&sq_arrayresize),
        Fn(&sq_arrayreverse),
        Fn(&sq_arrayremove),
        Fn(&sq_arrayinsert),
        Fn(&sq_setdelegate),
        Fn(&sq_getdelegate),
        Fn(&sq_clone),
        Fn(&sq_setfreevariable),
        Fn(&sq_next),
        Fn(&sq_getweakrefval),
        Fn(&sq_clear),
        // calls                                                                       93
        Fn(&sq_call),
        Fn(&sq_resume),
        Fn(&sq_getlocal),
        Fn(&sq_getfreevariable),
        Fn(&sq_throwerror),
        Fn(&sq_reseterror),
        Fn(&sq_getlasterror),
        // raw object handling                                                        100
        Fn(&sq_getstackobj),
        Fn(&sq_pushobject),
        Fn(&sq_addref),
        Fn(&sq_release),
        Fn(&sq_resetobject),
        Fn(&sq_objtostring),
        Fn(&sq_objtobool),
        Fn(&sq_objtointeger),
        Fn(&sq_objtofloat),
        Fn(&sq_getobjtypetag),
        // GC, serialization, memory, debug                                           110
        Fn(&sq_collectgarbage),
        Fn(&sq_writeclosure),
        Fn(&sq_readclosure),
        Fn(&sq_malloc),
        Fn(&sq_realloc),
        Fn(&sq_free),
        Fn(&sq_stackinfos),
        Fn(&sq_setdebughook),
        // hashes, members, callee, reference counts                                 118
        Fn(&sq_newtableex),
        Fn(&sq_typeof),
        Fn(&sq_gethash),
        Fn(&sq_getfunctioninfo),
        Fn(&sq_getclosurename),
        Fn(&sq_getmemberhandle),
        Fn(&sq_getbyhandle),
        Fn(&sq_setbyhandle),
        Fn(&sq_newmember),
        Fn(&sq_rawnewmember),
        Fn(&sq_getcallee),
        Fn(&sq_throwobject),
        Fn(&sq_getrefcount),
        Fn(&sq_objtouserpointer),
        Fn(&sq_resurrectunreachable),
        Fn(&sq_setnativedebughook),
    };
    constexpr size_t count = sizeof(expected) / sizeof(expected[0]);
    static_assert(count == 134);
    ASSERT_EQ(sizeof(sq_api), count * sizeof(Fn));
    const Fn* slots = reinterpret_cast<const Fn*>(KoPlayhost::pluginApi());
    for (size_t i = 0; i < count; ++i) EXPECT_EQ(slots[i], expected[i]) << "slot " << i;
}

TEST(Plugin, MissingLibraryGivesNothing) {
    KoTest::ScriptVm vm;
    EXPECT_EQ(KoPlayhost::createPlugin(u"surely_not_a_plugin_here", vm.vm(), nullptr), nullptr);
    EXPECT_EQ(KoPlayhost::createPlugin(u"", vm.vm(), nullptr), nullptr);
}
