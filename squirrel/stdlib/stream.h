// The stream interface shared by blobs and files, and the script class
// `stream` that holds their common methods.
#pragma once

#include <sqstdblob.h>
#include <sqstdio.h>
#include <squirrel.h>

#include <cstdint>

#include "squirrel/stdlib/corelib.h"

namespace sqstd {

// What the script methods of `stream` need of a blob or a file.
class Stream {
public:
    virtual ~Stream() = default;
    // Bytes moved (read: fewer at the end, 0 when none are left).
    virtual SQInteger read(void* buffer, SQInteger size) = 0;
    virtual SQInteger write(const void* buffer, SQInteger size) = 0;
    virtual SQInteger flush() = 0; // 0 when done
    virtual SQInteger position() = 0;
    virtual SQInteger length() = 0; // -1 when unknown
    // 0 on success, -1 on failure.
    virtual SQInteger seek(SQInteger offset, SeekOrigin origin) = 0;
    virtual bool usable() = 0; // false once a file is closed
    virtual bool at_end() = 0;
};

class Blob final : public Stream {
public:
    explicit Blob(size_t size) : buf_(size) {}
    SQInteger read(void* buffer, SQInteger size) override;
    SQInteger write(const void* buffer, SQInteger size) override;
    SQInteger flush() override { return 0; }
    SQInteger position() override { return static_cast<SQInteger>(buf_.tell()); }
    SQInteger length() override { return static_cast<SQInteger>(buf_.len()); }
    SQInteger seek(SQInteger offset, SeekOrigin origin) override {
        return buf_.seek(offset, origin) ? 0 : -1;
    }
    bool usable() override { return true; }
    bool at_end() override { return buf_.eos(); }
    ByteBuffer& buffer() { return buf_; }

private:
    ByteBuffer buf_;
};

inline SQUserPointer type_tag(uintptr_t t) {
    return reinterpret_cast<SQUserPointer>(t);
}

// Makes the class `name`, derived from the `stream` base class (made once per VM), with
// `methods` and type tag `tag`; stores it in the registry under `key`, and puts it and
// `stream` into the table at -1.
void make_stream_class(HSQUIRRELVM v, const SQChar* name, SQUserPointer tag, const SQChar* key,
                       const SQRegFunction* methods);

// Pushes the class stored in the registry under `regname`.
bool push_registered_class(HSQUIRRELVM v, const SQChar* regname);

// The stream behind `this` of a stream method, or an error already raised.
Stream* this_stream(HSQUIRRELVM v, SQRESULT& err);

} // namespace sqstd
