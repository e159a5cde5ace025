#pragma once
// The interface a plugin is built against. A plugin is a shared library exporting
//
//   extern "C" int onSetup(const PluginSetupInfo* info, const sq_api* api);   required; 0 accepts
//   extern "C" int onLoad();        optional; 0 is success
//   extern "C" void onUnload();     optional
//   extern "C" void onBeginFrame(); optional, every frame before the game script runs
//   extern "C" void onEndFrame();   optional, every frame after it yielded
//
// It calls the VM only through the table it receives (it links against no VM), so it works
// with the VM of the runner that loads it.
// C++ (the table's field types are taken from the API declarations).
#include <squirrel.h>

extern "C" {

typedef struct PluginSetupInfo {
    void* window;   // the SDL_Window* of the game window, null if there is none
    HSQUIRRELVM vm; // the game's VM
} PluginSetupInfo;

// Every VM entry point once, in this fixed order (the table layout is part of the ABI).
#define KO_SQ_API_ENTRIES(X)                                                                          \
    X(open)                                                                                           \
    X(newthread)                                                                                      \
    X(seterrorhandler) X(close) X(setforeignptr) X(getforeignptr) X(setprintfunc) X(                  \
        getprintfunc) X(geterrorfunc) X(suspendvm) X(wakeupvm) X(getvmstate) X(getversion)            \
        X(compile) X(compilebuffer) X(enabledebuginfo) X(notifyallexceptions) X(                      \
            setcompilererrorhandler) X(push) X(pop) X(poptop) X(remove) X(gettop) X(settop)           \
            X(reservestack) X(cmp) X(move) X(newuserdata) X(newtable) X(newarray) X(newclass) X(      \
                newclosure) X(setparamscheck) X(bindenv) X(pushstring) X(pushfloat) X(pushinteger)    \
                X(pushbool) X(pushuserpointer) X(pushnull) X(gettype) X(getsize) X(getbase) X(        \
                    instanceof) X(tostring) X(tobool) X(getstring) X(getinteger) X(getfloat)          \
                    X(getbool) X(getthread) X(getuserpointer) X(getuserdata) X(settypetag) X(         \
                        gettypetag) X(setreleasehook) X(getscratchpad) X(getclosureinfo)              \
                        X(setnativeclosurename) X(setinstanceup) X(getinstanceup) X(                  \
                            setclassudsize) X(createinstance) X(setattributes) X(getattributes)       \
                            X(getclass) X(weakref) X(getdefaultdelegate) X(pushroottable) X(          \
                                pushregistrytable) X(pushconsttable) X(setroottable)                  \
                                X(setconsttable) X(newslot) X(deleteslot) X(set) X(get) X(            \
                                    rawget) X(rawset) X(rawdeleteslot) X(arrayappend) X(arraypop)     \
                                    X(arrayresize) X(arrayreverse) X(arrayremove) X(                  \
                                        arrayinsert) X(setdelegate) X(getdelegate) X(clone)           \
                                        X(setfreevariable) X(next) X(getweakrefval) X(clear) X(       \
                                            call) X(resume) X(getlocal) X(getfreevariable)            \
                                            X(throwerror) X(reseterror) X(getlasterror) X(            \
                                                getstackobj) X(pushobject) X(addref) X(release)       \
                                                X(resetobject) X(objtostring) X(objtobool) X(         \
                                                    objtointeger) X(objtofloat)                       \
                                                    X(getobjtypetag) X(collectgarbage) X(             \
                                                        writeclosure) X(readclosure)                  \
                                                        X(malloc) X(realloc) X(free) X(               \
                                                            stackinfos) X(setdebughook) X(newtableex) \
                                                            X(typeof) X(gethash) X(                   \
                                                                getfunctioninfo) X(getclosurename)    \
                                                                X(getmemberhandle) X(                 \
                                                                    getbyhandle) X(setbyhandle)       \
                                                                    X(newmember) X(rawnewmember) X(   \
                                                                        getcallee) X(throwobject)     \
                                                                        X(getrefcount) X(             \
                                                                            objtouserpointer)         \
                                                                            X(resurrectunreachable)   \
                                                                                X(setnativedebughook)

#define KO_SQ_API_FIELD(name) decltype(&sq_##name) name;
typedef struct sq_api {
    KO_SQ_API_ENTRIES(KO_SQ_API_FIELD)
} sq_api;
#undef KO_SQ_API_FIELD

typedef int (*KoPluginSetupFn)(const PluginSetupInfo*, const sq_api*);
typedef int (*KoPluginLoadFn)(void);
typedef void (*KoPluginHookFn)(void);
}
