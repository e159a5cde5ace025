#include "script/Run.h"

#include "io/Encoding.h"
#include "io/FileManager.h"
#include "io/MemoryStream.h"
#include "io/Reader.h"
#include "script/bind/Bind.h"

namespace KoScript {
std::u16string decodeScript(std::string_view bytes) {
    size_t mark = 0;
    int encoding = KoIO::detectScriptEncoding(bytes, mark);
    bytes.remove_prefix(mark);
    // The reader only reads; the stream needs a mutable pointer by its interface.
    auto* data = reinterpret_cast<uint8_t*>(const_cast<char*>(bytes.data()));
    auto stream = std::make_shared<KoIO::Core::MemoryStream>(data, uint32_t(bytes.size()));
    auto reader = KoIO::Core::StreamReader::create(stream, KoIO::createDecoder(encoding));
    if (!reader) return {};
    // A byte sequence that does not decode ends a read. It becomes U+FFFD and decoding goes on,
    // so the compiler points at it instead of the script being cut short without a word.
    std::u16string text = reader->readAll();
    while (reader->isReadable()) text += u'\uFFFD' + reader->readAll();
    return text;
}

std::optional<std::u16string> readScriptFile(const std::u16string& path) {
    auto fm = KoIO::getFileManager();
    if (!fm) return std::nullopt;
    auto in = fm->openInputStream(path, 0);
    if (!in) return std::nullopt;
    KoIO::ByteArray bytes = in->readAll();
    in->close();
    return decodeScript(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool runText(HSQUIRRELVM v, std::u16string_view text, const char16_t* sourceName) {
    SQInteger top = sq_gettop(v);
    bool ok =
        SQ_SUCCEEDED(sq_compilebuffer(v, text.data(), SQInteger(text.size()), sourceName, SQTrue));
    if (ok) {
        sq_pushroottable(v);
        ok = SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQTrue));
    }
    sq_settop(v, top);
    return ok;
}

bool runBuiltinScript(HSQUIRRELVM v, BuiltinScript id) {
    std::string_view bytes = embeddedFile(id);
    if (bytes.empty()) return false;
    return runText(v, decodeScript(bytes));
}

SQInteger runNamedScript(HSQUIRRELVM v, std::u16string_view text, const std::u16string& name) {
    using KoScript::format;
    if (SQ_FAILED(sq_compilebuffer(v, text.data(), SQInteger(text.size()), name.c_str(), SQTrue)))
        return KoScript::throwScriptError(v, format(u"'%s' compile error", {name}).substr(0, 127));
    sq_pushroottable(v);
    if (SQ_FAILED(sq_call(v, 1, SQTrue, SQTrue))) {
        sq_poptop(v);
        return KoScript::throwScriptError(v, format(u"'%s' execute error", {name}).substr(0, 127));
    }
    sq_remove(v, -2); // the closure
    return 1;
}

} // namespace KoScript

bool KoScript::loadScriptTable(HSQUIRRELVM v, std::u16string_view table, BuiltinScript id) {
    sq_pushroottable(v);
    KoScript::pushNewTable(v, -1, table);
    sq_pop(v, 2);
    return runBuiltinScript(v, id);
}
