// The regular-expression engine of the string library.
//
// Matching never backtracks: an alternation keeps the first alternative that
// matches at that point, and a repetition stops early as soon as the element
// after it matches (unless that element is itself an optional repetition).
// Recursion follows only the nesting of the pattern, which is limited, and
// every call has a step budget, so no pattern or subject can run away.
#include "squirrel/stdlib/rex.h"

#include <climits>
#include <new>
#include <string>
#include <vector>

namespace {

enum class Op { Char, Any, Set, Class, Bol, Eol, Bound, NotBound, Group, Repeat };

struct Range {
    char16_t lo, hi;
};

struct Node {
    Op op = Op::Char;
    char16_t ch = 0;                    // Char; Class: the escape letter
    bool negated = false;               // Set
    std::vector<Range> ranges;          // Set: single characters are lo == hi
    std::u16string classes;             // Set: escape letters (\d, \s ...) inside the set
    int cap = -1;                       // Group: capture slot, -1 for (?: )
    std::vector<std::vector<int>> alts; // Group: alternatives, each a sequence
    int child = -1;                     // Repeat
    int min = 0, max = 0;               // Repeat: max -1 = unbounded
    bool has_caps = false;              // a capturing group at or below this node
};

bool is_space(char16_t c) {
    return c == ' ' || (c >= 9 && c <= 13);
}
bool is_digit(char16_t c) {
    return c >= '0' && c <= '9';
}
bool is_lower(char16_t c) {
    return c >= 'a' && c <= 'z';
}
bool is_upper(char16_t c) {
    return c >= 'A' && c <= 'Z';
}
bool is_alpha(char16_t c) {
    return is_lower(c) || is_upper(c);
}
bool is_xdigit(char16_t c) {
    return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool is_cntrl(char16_t c) {
    return c < 32 || c == 127;
}
bool is_punct(char16_t c) {
    return c > 32 && c < 127 && !is_alpha(c) && !is_digit(c);
}

bool is_class_letter(char16_t e) {
    switch (e) {
    case 'a':
    case 'A':
    case 'w':
    case 'W':
    case 's':
    case 'S':
    case 'd':
    case 'D':
    case 'x':
    case 'X':
    case 'c':
    case 'C':
    case 'p':
    case 'P':
    case 'l':
    case 'u':
        return true;
    default:
        return false;
    }
}

bool class_test(char16_t cls, char16_t c) {
    switch (cls) {
    case 'a':
        return is_alpha(c);
    case 'A':
        return !is_alpha(c);
    case 'w':
        return is_alpha(c) || is_digit(c) || c == '_';
    case 'W':
        return !(is_alpha(c) || is_digit(c) || c == '_');
    case 's':
        return is_space(c);
    case 'S':
        return !is_space(c);
    case 'd':
        return is_digit(c);
    case 'D':
        return !is_digit(c);
    case 'x':
        return is_xdigit(c);
    case 'X':
        return !is_xdigit(c);
    case 'c':
        return is_cntrl(c);
    case 'C':
        return !is_cntrl(c);
    case 'p':
        return is_punct(c);
    case 'P':
        return !is_punct(c);
    case 'l':
        return is_lower(c);
    case 'u':
        return is_upper(c);
    default:
        return false;
    }
}

char16_t escaped_char(char16_t e) {
    switch (e) {
    case 't':
        return '\t';
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case 'f':
        return '\f';
    case 'v':
        return '\v';
    default:
        return e;
    }
}

struct CompileError {
    const SQChar* msg;
};

} // namespace

struct SQRex {
    std::vector<Node> nodes;
    int root = -1;
    int ncaps = 1; // whole match + groups
    // Match state
    const SQChar* bol = nullptr;
    const SQChar* eol = nullptr;
    std::vector<SQRexMatch> caps;
    long steps = 0;
    bool exhausted = false;
    // End of an unbounded repetition's loop entered at a position with its
    // minimum reached: it depends on the position only, so one search pays
    // for it once. Per repeat node and "has a following element"; -1 unknown.
    std::vector<std::vector<int32_t>> memo;
    size_t memo_entries = 0;   // allocated in this call
    std::vector<int32_t> seen; // positions a running repetition passed, innermost last
};

namespace {

class Parser {
public:
    Parser(SQRex& rex, const SQChar* pat) : rex_(rex), p_(pat) {}

    void parse() {
        Node g;
        g.op = Op::Group;
        g.cap = 0;
        g.alts = list(0);
        if (*p_) throw CompileError{u"unexpected character"};
        rex_.root = add(std::move(g));
        // Children are added before their parents.
        for (Node& n : rex_.nodes) {
            n.has_caps = n.op == Op::Group && n.cap > 0;
            if (n.op == Op::Repeat && rex_.nodes[static_cast<size_t>(n.child)].has_caps)
                n.has_caps = true;
            for (const auto& seq : n.alts)
                for (int id : seq)
                    if (rex_.nodes[static_cast<size_t>(id)].has_caps) n.has_caps = true;
        }
        rex_.memo.resize(rex_.nodes.size() * 2);
    }

private:
    int add(Node n) {
        rex_.nodes.push_back(std::move(n));
        return static_cast<int>(rex_.nodes.size()) - 1;
    }

    std::vector<std::vector<int>> list(int depth) {
        std::vector<std::vector<int>> alts;
        for (;;) {
            std::vector<int> seq;
            if (*p_ == '^') {
                Node b;
                b.op = Op::Bol;
                seq.push_back(add(std::move(b)));
                ++p_;
            }
            // An alternative may be empty before a '|'; otherwise it holds at
            // least one element, and whatever character comes first is one.
            if (*p_ == '|') {
                alts.push_back(std::move(seq));
                ++p_;
                continue;
            }
            if (!*p_) throw CompileError{u"letter expected"};
            seq.push_back(element(depth));
            while (*p_ && *p_ != '|' && *p_ != ')' && *p_ != '*' && *p_ != '+')
                seq.push_back(element(depth));
            alts.push_back(std::move(seq));
            if (*p_ != '|') break;
            ++p_;
        }
        return alts;
    }

    int number() {
        long n = 0;
        while (is_digit(*p_)) {
            n = n * 10 + (*p_ - '0');
            if (n > INT_MAX / 10) n = INT_MAX / 10;
            ++p_;
        }
        return static_cast<int>(n);
    }

    int element(int depth) {
        if (depth >= sqstd::kRexMaxDepth) throw CompileError{u"expression too complex"};
        Node n;
        SQChar c = *p_++;
        switch (c) {
        case '(': {
            n.op = Op::Group;
            if (*p_ == '?') {
                ++p_;
                if (*p_ != ':') throw CompileError{u"expected paren"};
                ++p_;
            } else {
                n.cap = rex_.ncaps++;
            }
            n.alts = list(depth + 1);
            if (*p_ != ')') throw CompileError{u"expected paren"};
            ++p_;
            break;
        }
        case '[':
            set(n);
            break;
        case '$':
            n.op = Op::Eol;
            break;
        case '.':
            n.op = Op::Any;
            break;
        case '\\':
            if (!*p_) { // a trailing backslash stands for itself
                n.ch = '\\';
                break;
            }
            c = *p_++;
            if (is_class_letter(c)) {
                n.op = Op::Class;
                n.ch = c;
            } else if (c == 'b') {
                n.op = Op::Bound;
            } else if (c == 'B') {
                n.op = Op::NotBound;
            } else {
                n.ch = escaped_char(c);
            }
            break;
        default:
            n.ch = c;
            break;
        }
        int id = add(std::move(n));

        int min = 0, max = 0;
        switch (*p_) {
        case '*':
            min = 0;
            max = -1;
            ++p_;
            break;
        case '+':
            min = 1;
            max = -1;
            ++p_;
            break;
        case '?':
            min = 0;
            max = 1;
            ++p_;
            break;
        case '{':
            ++p_;
            if (!is_digit(*p_)) throw CompileError{u"number expected"};
            min = number();
            if (*p_ == '}') {
                max = min;
            } else if (*p_ == ',') {
                ++p_;
                max = *p_ == '}' ? -1 : number();
                if (*p_ != '}') throw CompileError{u"expected paren"};
            } else {
                throw CompileError{u", or } expected"};
            }
            ++p_;
            break;
        default:
            return id;
        }
        Node r;
        r.op = Op::Repeat;
        r.child = id;
        r.min = min;
        r.max = max;
        return add(std::move(r));
    }

    void set(Node& n) {
        n.op = Op::Set;
        if (*p_ == '^') {
            n.negated = true;
            ++p_;
        }
        if (*p_ == ']') throw CompileError{u"empty class"};
        while (*p_ != ']') {
            if (!*p_) throw CompileError{u"letter expected"};
            SQChar lo;
            if (*p_ == '\\') {
                ++p_;
                if (!*p_) throw CompileError{u"letter expected"};
                SQChar e = *p_++;
                if (is_class_letter(e)) {
                    n.classes.push_back(e);
                    continue;
                }
                lo = e == 'b' ? e : escaped_char(e);
            } else {
                lo = *p_++;
            }
            SQChar hi = lo;
            if (*p_ == '-') {
                ++p_;
                if (!*p_ || *p_ == ']') throw CompileError{u"invalid range"};
                if (*p_ == '\\') {
                    ++p_;
                    if (!*p_ || is_class_letter(*p_)) throw CompileError{u"invalid range"};
                    hi = escaped_char(*p_++);
                } else {
                    hi = *p_++;
                }
                if (lo > hi) throw CompileError{u"invalid range"};
            }
            n.ranges.push_back({lo, hi});
        }
        ++p_;
    }

    SQRex& rex_;
    const SQChar* p_;
};

// Memo entries one call may allocate (4 bytes each); past it, repetitions
// are matched without the memo.
constexpr size_t kMemoMaxEntries = size_t(8) << 20;

class Matcher {
public:
    explicit Matcher(SQRex& rex) : rex_(rex) {}

    // End of the match of node `id` at `s`, or nullptr. `next` is the element
    // that follows it in its sequence (-1 if none).
    const SQChar* node(int id, const SQChar* s, int next) {
        if (++rex_.steps > sqstd::kRexStepBudget) {
            rex_.exhausted = true;
            return nullptr;
        }
        const Node& n = rex_.nodes[static_cast<size_t>(id)];
        const SQChar* end = rex_.eol;
        switch (n.op) {
        case Op::Char:
            return s < end && *s == n.ch ? s + 1 : nullptr;
        case Op::Any:
            return s < end ? s + 1 : nullptr;
        case Op::Class:
            return s < end && class_test(n.ch, *s) ? s + 1 : nullptr;
        case Op::Set: {
            if (s >= end) return nullptr;
            bool in = false;
            for (const Range& r : n.ranges)
                if (*s >= r.lo && *s <= r.hi) {
                    in = true;
                    break;
                }
            for (size_t i = 0; !in && i < n.classes.size(); ++i) in = class_test(n.classes[i], *s);
            return in != n.negated ? s + 1 : nullptr;
        }
        case Op::Bol:
            return s == rex_.bol ? s : nullptr;
        case Op::Eol:
            return s == end ? s : nullptr;
        case Op::Bound:
        case Op::NotBound: {
            bool b = boundary(s);
            return b == (n.op == Op::Bound) ? s : nullptr;
        }
        case Op::Group:
            for (const std::vector<int>& seq : n.alts) {
                const SQChar* r = sequence(seq, s);
                if (rex_.exhausted) return nullptr;
                if (r) {
                    if (n.cap >= 0)
                        rex_.caps[static_cast<size_t>(n.cap)] = {s, static_cast<SQInteger>(r - s)};
                    return r;
                }
            }
            return nullptr;
        case Op::Repeat:
            return repeat(n, s, next);
        }
        return nullptr;
    }

private:
    bool boundary(const SQChar* s) const {
        const SQChar* b = rex_.bol;
        const SQChar* e = rex_.eol;
        // The character just past the subject reads as 0, which is not white space.
        auto at = [e](const SQChar* q) -> SQChar { return q < e ? *q : 0; };
        if (s == b && s < e && !is_space(*s)) return true;
        if (s == e) return s > b && !is_space(s[-1]);
        if (!is_space(at(s)) && is_space(at(s + 1))) return true;
        if (is_space(at(s)) && !is_space(at(s + 1))) return true;
        return false;
    }

    const SQChar* sequence(const std::vector<int>& seq, const SQChar* s) {
        for (size_t i = 0; i < seq.size(); ++i) {
            int next = i + 1 < seq.size() ? seq[i + 1] : -1;
            s = node(seq[i], s, next);
            if (!s) return nullptr;
        }
        return s;
    }

    std::vector<int32_t>* memo_for(const Node& n, bool followed) {
        size_t len = static_cast<size_t>(rex_.eol - rex_.bol) + 1;
        size_t id = static_cast<size_t>(&n - rex_.nodes.data());
        std::vector<int32_t>& m = rex_.memo[id * 2 + (followed ? 1 : 0)];
        if (m.size() != len) {
            if (rex_.memo_entries + len > kMemoMaxEntries) return nullptr;
            rex_.memo_entries += len;
            try {
                m.assign(len, -1);
            } catch (const std::bad_alloc&) {
                return nullptr;
            }
        }
        return &m;
    }

    const SQChar* repeat(const Node& n, const SQChar* s, int next) {
        bool early_stop = next >= 0;
        if (early_stop) {
            const Node& f = rex_.nodes[static_cast<size_t>(next)];
            if (f.op == Op::Repeat && f.min == 0) early_stop = false;
        }
        std::vector<int32_t>* memo = nullptr;
        if (n.max < 0 && !n.has_caps &&
            (next < 0 || !rex_.nodes[static_cast<size_t>(next)].has_caps))
            memo = memo_for(n, next >= 0);
        const size_t seen_base = rex_.seen.size();
        std::vector<SQRexMatch> first;
        long count = 0;
        bool empty = false;
        for (;;) {
            if (memo && count >= n.min) {
                int32_t m = (*memo)[static_cast<size_t>(s - rex_.bol)];
                if (m >= 0) {
                    s = rex_.bol + m;
                    break;
                }
                rex_.seen.push_back(static_cast<int32_t>(s - rex_.bol));
            }
            if (n.max >= 0 && count >= n.max) break;
            const SQChar* r = node(n.child, s, -1);
            if (rex_.exhausted) {
                rex_.seen.resize(seen_base);
                return nullptr;
            }
            if (!r) break;
            // a group repeated reports its first repetition
            if (++count == 1 && n.has_caps) first = rex_.caps;
            if (r == s) { // an empty match would repeat forever; it fills any minimum
                empty = true;
                break;
            }
            s = r;
            if (early_stop && count >= n.min) {
                if (node(next, s, -1)) break;
                if (rex_.exhausted) {
                    rex_.seen.resize(seen_base);
                    return nullptr;
                }
            }
        }
        if (memo)
            for (size_t i = seen_base; i < rex_.seen.size(); ++i)
                (*memo)[static_cast<size_t>(rex_.seen[i])] = static_cast<int32_t>(s - rex_.bol);
        rex_.seen.resize(seen_base);
        if (count < n.min && !empty) return nullptr;
        if (count > 1 && n.has_caps) rex_.caps = std::move(first);
        return s;
    }

    SQRex& rex_;
};

void reset_caps(SQRex& rex) {
    rex.caps.assign(static_cast<size_t>(rex.ncaps), SQRexMatch{nullptr, 0});
}

void begin_call(SQRex& rex, const SQChar* b, const SQChar* e) {
    rex.steps = 0;
    rex.exhausted = false;
    rex.bol = b;
    rex.eol = e;
    for (auto& m : rex.memo) {
        // Keep small tables for the next call; give big ones back.
        if (m.capacity() > 4096)
            std::vector<int32_t>().swap(m);
        else
            m.clear();
    }
    rex.memo_entries = 0;
    rex.seen.clear();
}

const SQChar* match_at(SQRex& rex, const SQChar* s) {
    Matcher m(rex);
    reset_caps(rex);
    return m.node(rex.root, s, -1);
}

const SQChar* text_end(const SQChar* t) {
    while (*t) ++t;
    return t;
}

} // namespace

namespace sqstd {
bool rex_budget_exceeded(const SQRex* exp) {
    return exp && exp->exhausted;
}

bool rex_match_range(SQRex* exp, const SQChar* begin, const SQChar* end) {
    if (!exp || !begin || end < begin) return false;
    begin_call(*exp, begin, end);
    const SQChar* r = match_at(*exp, begin);
    return r && r == end;
}
} // namespace sqstd

extern "C" {

SQRex* sqstd_rex_compile(const SQChar* pattern, const SQChar** error) {
    if (error) *error = nullptr;
    SQRex* rex = new (std::nothrow) SQRex;
    if (!rex) {
        if (error) *error = u"out of memory";
        return nullptr;
    }
    try {
        Parser(*rex, pattern ? pattern : u"").parse();
    } catch (const CompileError& e) {
        if (error) *error = e.msg;
        delete rex;
        return nullptr;
    } catch (const std::bad_alloc&) {
        if (error) *error = u"out of memory";
        delete rex;
        return nullptr;
    }
    reset_caps(*rex);
    return rex;
}

void sqstd_rex_free(SQRex* exp) {
    delete exp;
}

SQBool sqstd_rex_match(SQRex* exp, const SQChar* text) {
    if (!exp || !text) return SQFalse;
    return sqstd::rex_match_range(exp, text, text_end(text)) ? SQTrue : SQFalse;
}

SQBool sqstd_rex_searchrange(SQRex* exp, const SQChar* text_begin, const SQChar* text_end,
                             const SQChar** out_begin, const SQChar** out_end) {
    if (!exp || !text_begin || !text_end || text_end < text_begin) return SQFalse;
    begin_call(*exp, text_begin, text_end);
    for (const SQChar* s = text_begin; s < text_end; ++s) {
        const SQChar* r = match_at(*exp, s);
        if (exp->exhausted) break;
        if (r) {
            if (out_begin) *out_begin = s;
            if (out_end) *out_end = r;
            return SQTrue;
        }
    }
    reset_caps(*exp);
    return SQFalse;
}

SQBool sqstd_rex_search(SQRex* exp, const SQChar* text, const SQChar** out_begin,
                        const SQChar** out_end) {
    if (!text) return SQFalse;
    return sqstd_rex_searchrange(exp, text, text_end(text), out_begin, out_end);
}

SQInteger sqstd_rex_getsubexpcount(SQRex* exp) {
    return exp ? exp->ncaps : 0;
}

SQBool sqstd_rex_getsubexp(SQRex* exp, SQInteger n, SQRexMatch* subexp) {
    if (!exp || n < 0 || n >= exp->ncaps || !subexp) return SQFalse;
    *subexp = exp->caps[static_cast<size_t>(n)];
    return SQTrue;
}

} // extern "C"
