#include "host/Prelude.h"

#include "script/ScUtil.h"

namespace KoPlayhost {

std::u16string verbatimLiteral(const std::u16string& s) {
    std::u16string out = u"@\"";
    for (char16_t c : s) {
        if (c == u'"') out += u'"';
        out += c;
    }
    return out + u"\"";
}

std::u16string buildPrelude(bool debug, const std::vector<std::u16string>& cmdline) {
    std::u16string s = u"const KOPLAYHOST_VERSION = 10105;const SQUIRREL_VERSION = 30004;";
    s += debug ? u"DEBUG <- true;" : u"DEBUG <- false;";
    s += u"cmdline <- [";
    for (const auto& arg : cmdline) s += verbatimLiteral(arg) + u", ";
    s += u"];";
    return s;
}

std::u16string buildSetupLoadText(const Setup& setup) {
    std::u16string s;
    for (const auto& p : setup.plugins)
        s += u"import(" + KoScript::UtilText::stringLiteral(p) + u");";
    for (const auto& p : setup.scripts)
        s += u"include(" + KoScript::UtilText::stringLiteral(p) + u");";
    return s;
}

} // namespace KoPlayhost
