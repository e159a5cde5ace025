#include "squirrel/stdlib/fuzz/targets.h"

#include <sqstdstring.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "squirrel/stdlib/rex.h"
#include "squirrel/stdlib/scriptformat.h"

namespace {

// Reads the input from the front; runs dry as zeros.
struct Reader {
    const uint8_t* p;
    size_t n;
    uint8_t byte() {
        if (!n) return 0;
        --n;
        return *p++;
    }
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(byte()) << (8 * i);
        return v;
    }
};

// Bytes become text units; bytes from 0xF0 up stand for wide characters so
// that the fuzzer reaches non-ASCII text without having to build pairs.
char16_t unit(uint8_t b) {
    return b >= 0xF0 ? static_cast<char16_t>(0x3040 + (b - 0xF0) * 0x101) : b;
}

struct Args {
    std::vector<sqstd::FormatArg> list;
};

bool get(void* ctx, int k, sqstd::FormatArg& a) {
    Args& args = *static_cast<Args*>(ctx);
    if (k < 0 || static_cast<size_t>(k) >= args.list.size()) return false;
    a = args.list[static_cast<size_t>(k)];
    return true;
}

void check(bool ok) {
    if (!ok) std::abort();
}

} // namespace

namespace sqstd {

void fuzz_format(const uint8_t* data, size_t size) {
    Reader r{data, size};
    size_t nargs = r.byte() % 6;
    std::vector<std::u16string> texts(nargs);
    Args args;
    for (size_t i = 0; i < nargs; ++i) {
        FormatArg a;
        switch (r.byte() % 4) {
        case 0:
            a.kind = FormatArg::Integer;
            a.i = static_cast<int32_t>(r.u32());
            break;
        case 1: {
            a.kind = FormatArg::Float;
            uint32_t bits = r.u32();
            std::memcpy(&a.f, &bits, sizeof a.f);
            break;
        }
        case 2: {
            a.kind = FormatArg::String;
            size_t len = r.byte() % 32;
            for (size_t k = 0; k < len; ++k) texts[i].push_back(unit(r.byte()));
            break;
        }
        default:
            a.kind = FormatArg::Other;
            break;
        }
        args.list.push_back(a);
    }
    for (size_t i = 0; i < nargs; ++i)
        if (args.list[i].kind == FormatArg::String) {
            args.list[i].s = texts[i].data();
            args.list[i].n = texts[i].size();
        }
    std::u16string fmt;
    while (r.n) fmt.push_back(unit(r.byte()));
    std::u16string out;
    const char* err = script_format(fmt.data(), fmt.size(), get, &args, out);
    // Widths and precisions have at most two digits: output stays proportionate.
    check(out.size() <= fmt.size() * 200 + 64 * 200);
    if (err) check(std::strlen(err) > 0);
}

void fuzz_regexp(const uint8_t* data, size_t size) {
    Reader r{data, size};
    size_t split = r.byte();
    std::u16string pat, subject;
    for (size_t i = 0; r.n && i < split; ++i) pat.push_back(unit(r.byte()));
    while (r.n) subject.push_back(unit(r.byte()));
    // Zero units would end the pattern early, as in the script binding.
    for (char16_t& c : pat)
        if (!c) c = u'0';
    const SQChar* err = nullptr;
    SQRex* rex = sqstd_rex_compile(pat.c_str(), &err);
    if (!rex) {
        check(err != nullptr);
        return;
    }
    const SQChar* b = subject.data();
    const SQChar* e = b + subject.size();
    rex_match_range(rex, b, e);
    const SQChar *mb = nullptr, *me = nullptr;
    if (sqstd_rex_searchrange(rex, b, e, &mb, &me)) {
        check(mb >= b && mb < e && me >= mb && me <= e);
        SQInteger n = sqstd_rex_getsubexpcount(rex);
        check(n >= 1);
        for (SQInteger i = 0; i < n; ++i) {
            SQRexMatch m;
            check(sqstd_rex_getsubexp(rex, i, &m) != SQFalse);
            if (m.begin) check(m.begin >= b && m.len >= 0 && m.begin + m.len <= e);
        }
    }
    if (!subject.empty()) sqstd_rex_searchrange(rex, b + subject.size() / 2, e, &mb, &me);
    sqstd_rex_free(rex);
}

} // namespace sqstd
