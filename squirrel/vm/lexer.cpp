// Tokeniser: keywords, operators, numbers, strings and comments to tokens.
#include "lexer.h"

struct KW {
    const char* name;
    SQInteger tok;
};
static const KW g_keywords[] = {
    {"while", TK_WHILE},
    {"do", TK_DO},
    {"if", TK_IF},
    {"else", TK_ELSE},
    {"break", TK_BREAK},
    {"continue", TK_CONTINUE},
    {"return", TK_RETURN},
    {"null", TK_NULL},
    {"function", TK_FUNCTION},
    {"local", TK_LOCAL},
    {"for", TK_FOR},
    {"foreach", TK_FOREACH},
    {"in", TK_IN},
    {"typeof", TK_TYPEOF},
    {"base", TK_BASE},
    {"delete", TK_DELETE},
    {"try", TK_TRY},
    {"catch", TK_CATCH},
    {"throw", TK_THROW},
    {"clone", TK_CLONE},
    {"yield", TK_YIELD},
    {"resume", TK_RESUME},
    {"switch", TK_SWITCH},
    {"case", TK_CASE},
    {"default", TK_DEFAULT},
    {"this", TK_THIS},
    {"class", TK_CLASS},
    {"extends", TK_EXTENDS},
    {"constructor", TK_CONSTRUCTOR},
    {"instanceof", TK_INSTANCEOF},
    {"true", TK_TRUE},
    {"false", TK_FALSE},
    {"static", TK_STATIC},
    {"enum", TK_ENUM},
    {"const", TK_CONST},
};

const char* SQLexer::KeywordName(SQInteger tok) {
    for (auto& k : g_keywords)
        if (k.tok == tok) return k.name;
    return nullptr;
}

void SQLexer::Init(SQLEXREADFUNC rg, SQUserPointer up) {
    _readf = rg;
    _up = up;
    _currentline = 1;
    _currentcolumn = 0;
    Next();
}

void SQLexer::Next() {
    SQInteger c = _readf(_up);
    _currdata = c;
    _currentcolumn++;
}

void SQLexer::Error(const char* msg) {
    if (_error.empty()) {
        _error = msg;
        _errline = _currentline;
        _errcol = _currentcolumn;
    }
}

const char* SQLexer::Tok2Str(SQInteger tok) {
    static char buf[8];
    if (tok < 256) {
        buf[0] = (char)tok;
        buf[1] = 0;
        return buf;
    }
    if (const char* k = KeywordName(tok)) return k;
    switch (tok) {
    case TK_IDENTIFIER:
        return "IDENTIFIER";
    case TK_STRING_LITERAL:
        return "STRING_LITERAL";
    case TK_INTEGER:
        return "INTEGER";
    case TK_FLOAT:
        return "FLOAT";
    case TK_EQ:
        return "==";
    case TK_NE:
        return "!=";
    case TK_LE:
        return "<=";
    case TK_GE:
        return ">=";
    case TK_AND:
        return "&&";
    case TK_OR:
        return "||";
    case TK_NEWSLOT:
        return "<-";
    case TK_PLUSEQ:
        return "+=";
    case TK_MINUSEQ:
        return "-=";
    case TK_MULEQ:
        return "*=";
    case TK_DIVEQ:
        return "/=";
    case TK_MODEQ:
        return "%=";
    case TK_SHIFTL:
        return "<<";
    case TK_SHIFTR:
        return ">>";
    case TK_USHIFTR:
        return ">>>";
    case TK_DOUBLE_COLON:
        return "::";
    case TK_PLUSPLUS:
        return "++";
    case TK_MINUSMINUS:
        return "--";
    case TK_3WAYSCMP:
        return "<=>";
    case TK_VARPARAMS:
        return "...";
    case TK_ATTR_OPEN:
        return "</";
    case TK_ATTR_CLOSE:
        return "/>";
    }
    return "?";
}

static bool isidstart(SQInteger c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
static bool isdigitc(SQInteger c) {
    return c >= '0' && c <= '9';
}
static bool isxdigitc(SQInteger c) {
    return isdigitc(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool SQLexer::LexBlockComment() {
    for (;;) {
        if (_currdata == 0) {
            Error("missing \"*/\" in comment");
            return false;
        }
        if (_currdata == '*') {
            Next();
            if (_currdata == '/') {
                Next();
                return true;
            }
            continue;
        }
        if (_currdata == '\n') {
            _currentline++;
        }
        Next();
    }
}

void SQLexer::LexLineComment() {
    while (_currdata != '\n' && _currdata != 0) Next();
}

SQInteger SQLexer::Lex() {
    _lasttokenline = _currentline;
    _nlbefore = false;
    _prevtoken = _token;
    while (_currdata != 0) {
        switch (_currdata) {
        case '\t':
        case '\r':
        case ' ':
            Next();
            continue;
        case '\n':
            _currentline++;
            _nlbefore = true;
            Next();
            _currentcolumn = 1;
            continue;
        case '#':
            LexLineComment();
            continue;
        case '/':
            Next();
            if (_currdata == '*') {
                Next();
                if (!LexBlockComment()) return _token = 0;
                continue;
            }
            if (_currdata == '/') {
                LexLineComment();
                continue;
            }
            if (_currdata == '=') {
                Next();
                return _token = TK_DIVEQ;
            }
            if (_currdata == '>') {
                Next();
                return _token = TK_ATTR_CLOSE;
            }
            return _token = '/';
        case '=':
            Next();
            if (_currdata == '=') {
                Next();
                return _token = TK_EQ;
            }
            return _token = '=';
        case '<':
            Next();
            if (_currdata == '=') {
                Next();
                if (_currdata == '>') {
                    Next();
                    return _token = TK_3WAYSCMP;
                }
                return _token = TK_LE;
            }
            if (_currdata == '-') {
                Next();
                return _token = TK_NEWSLOT;
            }
            if (_currdata == '<') {
                Next();
                return _token = TK_SHIFTL;
            }
            if (_currdata == '/') {
                Next();
                return _token = TK_ATTR_OPEN;
            }
            return _token = '<';
        case '>':
            Next();
            if (_currdata == '=') {
                Next();
                return _token = TK_GE;
            }
            if (_currdata == '>') {
                Next();
                if (_currdata == '>') {
                    Next();
                    return _token = TK_USHIFTR;
                }
                return _token = TK_SHIFTR;
            }
            return _token = '>';
        case '!':
            Next();
            if (_currdata == '=') {
                Next();
                return _token = TK_NE;
            }
            return _token = '!';
        case '@':
            Next();
            if (_currdata == '"') return _token = ReadString('"', true);
            return _token = '@';
        case '"':
        case '\'':
            return _token = ReadString(_currdata, false);
        case '{':
        case '}':
        case '(':
        case ')':
        case '[':
        case ']':
        case ';':
        case ',':
        case '?':
        case '^':
        case '~': {
            SQInteger r = _currdata;
            Next();
            return _token = r;
        }
        case '.':
            Next();
            if (_currdata != '.') return _token = '.';
            Next();
            if (_currdata != '.') {
                Error("invalid token '..'");
                return _token = 0;
            }
            Next();
            return _token = TK_VARPARAMS;
        case '&':
            Next();
            if (_currdata == '&') {
                Next();
                return _token = TK_AND;
            }
            return _token = '&';
        case '|':
            Next();
            if (_currdata == '|') {
                Next();
                return _token = TK_OR;
            }
            return _token = '|';
        case ':':
            Next();
            if (_currdata == ':') {
                Next();
                return _token = TK_DOUBLE_COLON;
            }
            return _token = ':';
        case '*':
            Next();
            if (_currdata == '=') {
                Next();
                return _token = TK_MULEQ;
            }
            return _token = '*';
        case '%':
            Next();
            if (_currdata == '=') {
                Next();
                return _token = TK_MODEQ;
            }
            return _token = '%';
        case '-':
            Next();
            if (_currdata == '=') {
                Next();
                return _token = TK_MINUSEQ;
            }
            if (_currdata == '-') {
                Next();
                return _token = TK_MINUSMINUS;
            }
            return _token = '-';
        case '+':
            Next();
            if (_currdata == '=') {
                Next();
                return _token = TK_PLUSEQ;
            }
            if (_currdata == '+') {
                Next();
                return _token = TK_PLUSPLUS;
            }
            return _token = '+';
        default:
            if (isdigitc(_currdata)) return _token = ReadNumber();
            if (isidstart(_currdata)) {
                ReadID();
                return _token;
            }
            Error("unexpected character");
            return _token = 0;
        }
    }
    return _token = 0;
}

void SQLexer::ReadID() {
    _longstr.clear();
    do {
        _longstr.push_back((SQChar)_currdata);
        Next();
    } while (isidstart(_currdata) || isdigitc(_currdata));
    for (auto& k : g_keywords) {
        size_t n = strlen(k.name);
        if (n != _longstr.size()) continue;
        bool eq = true;
        for (size_t i = 0; i < n; i++)
            if (_longstr[i] != (SQChar)k.name[i]) {
                eq = false;
                break;
            }
        if (eq) {
            _token = k.tok;
            return;
        }
    }
    _token = TK_IDENTIFIER;
}

SQInteger SQLexer::ReadString(SQInteger delim, bool verbatim) {
    _longstr.clear();
    Next();
    for (;;) {
        while (_currdata != delim) {
            if (_currdata == 0) {
                Error("unfinished string");
                return 0;
            }
            if (_currdata == '\n') {
                if (!verbatim) {
                    Error("newline in a constant");
                    return 0;
                }
                _longstr.push_back('\n');
                _currentline++;
                Next();
                continue;
            }
            if (_currdata == '\\' && !verbatim) {
                Next();
                switch (_currdata) {
                case 'x': {
                    Next();
                    if (!isxdigitc(_currdata)) {
                        Error("hexadecimal number expected");
                        return 0;
                    }
                    SQInteger v = 0, n = 0;
                    while (isxdigitc(_currdata) && n < 4) {
                        SQInteger c = _currdata;
                        v = v * 16 + (isdigitc(c) ? c - '0' : (c | 0x20) - 'a' + 10);
                        Next();
                        n++;
                    }
                    _longstr.push_back((SQChar)v);
                    continue;
                }
                case 't':
                    _longstr.push_back('\t');
                    break;
                case 'a':
                    _longstr.push_back('\a');
                    break;
                case 'b':
                    _longstr.push_back('\b');
                    break;
                case 'n':
                    _longstr.push_back('\n');
                    break;
                case 'r':
                    _longstr.push_back('\r');
                    break;
                case 'v':
                    _longstr.push_back('\v');
                    break;
                case 'f':
                    _longstr.push_back('\f');
                    break;
                case '0':
                    _longstr.push_back(0);
                    break;
                case '\\':
                    _longstr.push_back('\\');
                    break;
                case '"':
                    _longstr.push_back('"');
                    break;
                case '\'':
                    _longstr.push_back('\'');
                    break;
                default:
                    Error("unrecognised escaper char");
                    return 0;
                }
                Next();
                continue;
            }
            _longstr.push_back((SQChar)_currdata);
            Next();
        }
        Next();
        if (verbatim && _currdata == '"') {
            _longstr.push_back('"');
            Next();
            continue;
        }
        break;
    }
    if (delim == '\'') {
        if (_longstr.empty()) {
            Error("empty constant");
            return 0;
        }
        if (_longstr.size() > 1) {
            Error("constant too long");
            return 0;
        }
        _nvalue = (SQInteger)_longstr[0];
        return TK_INTEGER;
    }
    return TK_STRING_LITERAL;
}

SQInteger SQLexer::ReadNumber() {
    std::string s;
    SQInteger first = _currdata;
    Next();
    if (first == '0' && (_currdata == 'x' || _currdata == 'X')) {
        Next();
        uint32_t v = 0;
        int n = 0;
        while (isxdigitc(_currdata)) {
            SQInteger c = _currdata;
            v = v * 16 + (uint32_t)(isdigitc(c) ? c - '0' : (c | 0x20) - 'a' + 10);
            n++;
            Next();
        }
        if (n > 8) {
            Error("too many digits for an Hex number");
            return 0;
        }
        _nvalue = (SQInteger)v;
        return TK_INTEGER;
    }
    if (first == '0' && isdigitc(_currdata)) {
        uint32_t v = 0;
        while (isdigitc(_currdata)) {
            if (_currdata > '7') {
                Error("invalid octal number");
                return 0;
            }
            v = v * 8 + (uint32_t)(_currdata - '0');
            Next();
        }
        _nvalue = (SQInteger)v;
        return TK_INTEGER;
    }
    s.push_back((char)first);
    bool isfloat = false;
    while (isdigitc(_currdata)) {
        s.push_back((char)_currdata);
        Next();
    }
    if (_currdata == '.') {
        isfloat = true;
        s.push_back('.');
        Next();
        while (isdigitc(_currdata)) {
            s.push_back((char)_currdata);
            Next();
        }
    }
    if (_currdata == 'e' || _currdata == 'E') {
        isfloat = true;
        s.push_back('e');
        Next();
        if (_currdata == '+' || _currdata == '-') {
            s.push_back((char)_currdata);
            Next();
        }
        if (!isdigitc(_currdata)) {
            Error("exponent expected");
            return 0;
        }
        while (isdigitc(_currdata)) {
            s.push_back((char)_currdata);
            Next();
        }
    }
    if (isfloat) {
        _fvalue = (SQFloat)strtod(s.c_str(), nullptr);
        return TK_FLOAT;
    }
    uint64_t v = 0;
    for (char c : s) v = v * 10 + (uint64_t)(c - '0');
    _nvalue = (SQInteger)(uint32_t)v;
    return TK_INTEGER;
}
