// The stream interface shared by blobs and files, and the script class
// `stream` that holds their common methods.
#pragma once

#include <sqstdblob.h>
#include <sqstdio.h>
#include <squirrel.h>

#include <cstdint>

#include "squirrel/stdlib/corelib.h"

namespace sqstd {

class Stream {
public:
    virtual ~Stream() = default;
    virtual SQInteger Read(void* buffer, SQInteger size) = 0;
    virtual SQInteger Write(const void* buffer, SQInteger size) = 0;
    virtual SQInteger Flush() = 0;
    virtual SQInteger Tell() = 0;
    virtual SQInteger Len() = 0;
    // 0 on success, -1 on failure.
    virtual SQInteger Seek(SQInteger offset, SeekOrigin origin) = 0;
    virtual bool IsValid() = 0;
    virtual bool EOS() = 0;
};

class Blob final : public Stream {
public:
    explicit Blob(size_t size) : buf_(size) {}
    SQInteger Read(void* buffer, SQInteger size) override;
    SQInteger Write(const void* buffer, SQInteger size) override;
    SQInteger Flush() override { return 0; }
    SQInteger Tell() override { return static_cast<SQInteger>(buf_.tell()); }
    SQInteger Len() override { return static_cast<SQInteger>(buf_.len()); }
    SQInteger Seek(SQInteger offset, SeekOrigin origin) override {
        return buf_.seek(offset, origin) ? 0 : -1;
    }
    bool IsValid() override { return true; }
    bool EOS() override { return buf_.eos(); }
    ByteBuffer& buffer() { return buf_; }

private:
    ByteBuffer buf_;
};

inline SQUserPointer type_tag(uintptr_t t) {
    return reinterpret_cast<SQUserPointer>(t);
}

// Creates (once per VM) the `stream` base class, then the class `name` derived
// from it with `methods` and type tag `tag`; the new class is stored in the
// registry under `regname` and as `name` in the table at -1, where `stream`
// is put too.
void declare_stream(HSQUIRRELVM v, const SQChar* name, SQUserPointer tag, const SQChar* regname,
                    const SQRegFunction* methods);

// Pushes the class stored in the registry under `regname`.
bool push_registered_class(HSQUIRRELVM v, const SQChar* regname);

// The stream behind `this` of a stream method, or an error already raised.
Stream* this_stream(HSQUIRRELVM v, SQRESULT& err);

} // namespace sqstd
