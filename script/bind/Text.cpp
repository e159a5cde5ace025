#include "script/bind/Text.h"

namespace KoScript {

String fromAscii(std::string_view s) {
    return String(s.begin(), s.end());
}

String format(std::u16string_view fmt, std::initializer_list<FormatArg> args) {
    String out;
    auto next = args.begin();
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == u'%' && i + 1 < fmt.size()) {
            char16_t k = fmt[i + 1];
            if (k == u'%') {
                out += u'%';
                ++i;
                continue;
            }
            if ((k == u's' || k == u'd') && next != args.end()) {
                out += (next++)->text;
                ++i;
                continue;
            }
        }
        out += fmt[i];
    }
    return out;
}

} // namespace KoScript
