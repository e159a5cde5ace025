#pragma once
// Reading and running script text in the VM.
#include "script/BuiltinScript.h"

#include <squirrel.h>

#include <optional>
#include <string>
#include <string_view>

namespace KoScript {

// Script bytes to text. A UTF-8 byte-order mark, or valid UTF-8 with non-ASCII bytes, reads
// as UTF-8 (authors on Linux write that); anything else as Shift_JIS, the encoding scripts
// from Windows come in. Line ends read as LF.
std::u16string decodeScript(std::string_view bytes);

// The whole text of a script file through the file manager; empty when it cannot be opened.
std::optional<std::u16string> readScriptFile(const std::u16string& path);

// Compiles `text` (source name "" unless given) raising compile errors and calls it with the
// root table as `this`, raising run-time errors. True when both succeed.
bool runText(HSQUIRRELVM v, std::u16string_view text, const char16_t* sourceName = u"");

// The built-in script `id`, embedded in the executable, run like runText.
bool runBuiltinScript(HSQUIRRELVM v, BuiltinScript id);
// A library written wholly in script: an empty root-table slot `table`, then built-in script
// `id` to fill it.
bool loadScriptTable(HSQUIRRELVM v, std::u16string_view table, BuiltinScript id);

// For natives running a named script: compiles and calls it, pushing the return value.
// On failure raises "'name' compile error" or "'name' execute error" and returns SQ_ERROR;
// on success returns 1 (the value is on the stack).
SQInteger runNamedScript(HSQUIRRELVM v, std::u16string_view text, const std::u16string& name);

} // namespace KoScript
