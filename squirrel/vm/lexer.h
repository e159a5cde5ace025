// Tokeniser of Squirrel source text (UTF-16 code units).
#pragma once
#include "object.h"

enum SQToken {
    TK_IDENTIFIER = 258,
    TK_STRING_LITERAL,
    TK_INTEGER,
    TK_FLOAT,
    TK_BASE,
    TK_DELETE,
    TK_EQ,
    TK_NE,
    TK_LE,
    TK_GE,
    TK_SWITCH,
    TK_ARROW,
    TK_AND,
    TK_OR,
    TK_IF,
    TK_ELSE,
    TK_WHILE,
    TK_BREAK,
    TK_FOR,
    TK_DO,
    TK_NULL,
    TK_FOREACH,
    TK_IN,
    TK_NEWSLOT,
    TK_MODULO,
    TK_LOCAL,
    TK_CLONE,
    TK_FUNCTION,
    TK_RETURN,
    TK_TYPEOF,
    TK_UMINUS,
    TK_PLUSEQ,
    TK_MINUSEQ,
    TK_CONTINUE,
    TK_YIELD,
    TK_TRY,
    TK_CATCH,
    TK_THROW,
    TK_SHIFTL,
    TK_SHIFTR,
    TK_RESUME,
    TK_DOUBLE_COLON,
    TK_CASE,
    TK_DEFAULT,
    TK_THIS,
    TK_PLUSPLUS,
    TK_MINUSMINUS,
    TK_3WAYSCMP,
    TK_USHIFTR,
    TK_CLASS,
    TK_EXTENDS,
    TK_CONSTRUCTOR,
    TK_INSTANCEOF,
    TK_VARPARAMS,
    TK_TRUE,
    TK_FALSE,
    TK_MULEQ,
    TK_DIVEQ,
    TK_MODEQ,
    TK_ATTR_OPEN,
    TK_ATTR_CLOSE,
    TK_STATIC,
    TK_ENUM,
    TK_CONST
};

struct SQLexer {
    SQLEXREADFUNC _readf;
    SQUserPointer _up;
    SQInteger _currdata; // lookahead character, 0 at end
    SQInteger _currentline = 1;
    SQInteger _currentcolumn = 0;
    SQInteger _lasttokenline = 1;
    SQInteger _lasttokencolumn = 0;
    SQInteger _prevtoken = -1;
    SQInteger _token = 0;
    bool _nlbefore = false; // a newline separates the previous token from this one
    sqstring _longstr;
    SQInteger _nvalue = 0;
    SQFloat _fvalue = 0;
    std::string _error; // set on a lexical error
    SQInteger _errline = 0, _errcol = 0;

    void Init(SQLEXREADFUNC rg, SQUserPointer up);
    SQInteger Lex();
    const char* Tok2Str(SQInteger tok);
    static const char* KeywordName(SQInteger tok);

private:
    void Next();
    SQInteger ReadString(SQInteger delim, bool verbatim);
    SQInteger ReadNumber();
    void ReadID();
    bool LexBlockComment();
    void LexLineComment();
    void Error(const char* msg);
};
