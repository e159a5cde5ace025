#include "input/KeyNames.h"

#include "input/Getters.h"
#include "input/Platform.h"

#include <functional>
#include <unordered_map>

namespace KoInput {

namespace {

std::vector<KeyboardName> buildKeyboardNames() {
    std::vector<KeyboardName> names = {
        {u"key.backspace", 0x08}, {u"key.tab", 0x09},      {u"key.enter", 0x0D},
        {u"key.pause", 0x13},     {u"key.capslock", 0x14}, {u"key.escape", 0x1B},
        {u"key.space", 0x20},     {u"key.lshift", 0xA0},   {u"key.rshift", 0xA1},
        {u"key.lctrl", 0xA2},     {u"key.rctrl", 0xA3},    {u"key.lalt", 0xA4},
        {u"key.ralt", 0xA5},      {u"key.lwin", 0x5B},     {u"key.rwin", 0x5C},
        {u"key.pageup", 0x21},    {u"key.pagedown", 0x22}, {u"key.end", 0x23},
        {u"key.home", 0x24},      {u"key.insert", 0x2D},   {u"key.delete", 0x2E},
        {u"key.left", 0x25},      {u"key.up", 0x26},       {u"key.right", 0x27},
        {u"key.down", 0x28},
    };
    static const char16_t* const kF[] = {u"key.f1", u"key.f2",  u"key.f3",  u"key.f4",
                                         u"key.f5", u"key.f6",  u"key.f7",  u"key.f8",
                                         u"key.f9", u"key.f10", u"key.f11", u"key.f12"};
    for (int i = 0; i < 12; ++i) names.push_back({kF[i], 0x70 + i});
    static const char16_t* const kDigits[] = {u"key.0", u"key.1", u"key.2", u"key.3", u"key.4",
                                              u"key.5", u"key.6", u"key.7", u"key.8", u"key.9"};
    for (int i = 0; i < 10; ++i) names.push_back({kDigits[i], 0x30 + i});
    static const char16_t* const kLetters[] = {
        u"key.a", u"key.b", u"key.c", u"key.d", u"key.e", u"key.f", u"key.g", u"key.h", u"key.i",
        u"key.j", u"key.k", u"key.l", u"key.m", u"key.n", u"key.o", u"key.p", u"key.q", u"key.r",
        u"key.s", u"key.t", u"key.u", u"key.v", u"key.w", u"key.x", u"key.y", u"key.z"};
    for (int i = 0; i < 26; ++i) names.push_back({kLetters[i], 0x41 + i});
    const KeyboardName rest[] = {
        {u"key.colon", 0xBA}, {u"key.semcolon", 0xBB}, {u"key.comma", 0xBC},
        {u"key.minus", 0xBD}, {u"key.dot", 0xBE},      {u"key.slash", 0xBF},
        {u"key.at", 0xC0},    {u"key.lsb", 0xDB},      {u"key.yen", 0xDC},
        {u"key.rsb", 0xDD},   {u"key.caret", 0xDE},    {u"key.backslash", 0xE2},
    };
    names.insert(names.end(), std::begin(rest), std::end(rest));
    static const char16_t* const kNum[] = {u"key.num0", u"key.num1", u"key.num2", u"key.num3",
                                           u"key.num4", u"key.num5", u"key.num6", u"key.num7",
                                           u"key.num8", u"key.num9"};
    for (int i = 0; i < 10; ++i) names.push_back({kNum[i], 0x60 + i});
    const KeyboardName pad[] = {
        {u"key.numadd", 0x6B}, {u"key.numsub", 0x6D}, {u"key.nummul", 0x6A},
        {u"key.numdiv", 0x6F}, {u"key.numdot", 0x6E}, {u"key.numenter", 0x6C},
    };
    names.insert(names.end(), std::begin(pad), std::end(pad));
    return names;
}

using Factory = std::function<std::shared_ptr<IGetter>()>;

class Table final : public KeyNameTable {
public:
    explicit Table(WindowHandle handle) {
        const WindowId window{windowIdOf(handle)};
        const bool client = handle != nullptr;
        for (const KeyboardName& k : keyboardNames()) {
            const int32_t code = k.code;
            add(k.name, [code] { return std::make_shared<KeyboardGetter>(code); });
        }
        const std::pair<const char16_t*, int32_t> buttons[] = {{u"mouse.left", 0x01},
                                                               {u"mouse.right", 0x02},
                                                               {u"mouse.middle", 0x04},
                                                               {u"mouse.ex1", 0x05},
                                                               {u"mouse.ex2", 0x06}};
        for (const auto& [name, code] : buttons)
            add(name, [code = code] { return std::make_shared<MouseButtonGetter>(code); });
        add(u"mouse.gx", [] { return std::make_shared<MouseCursorGetter>(0, nullptr); });
        add(u"mouse.gy", [] { return std::make_shared<MouseCursorGetter>(1, nullptr); });
        // Without a main window the client names read screen coordinates.
        for (int32_t axis = 0; axis < 2; ++axis)
            add(axis == 0 ? u"mouse.x" : u"mouse.y",
                [axis, window, client]() -> std::shared_ptr<IGetter> {
                    if (!client) return std::make_shared<MouseCursorGetter>(axis, nullptr);
                    return std::make_shared<MouseCursorGetter>(axis, window);
                });
        const char16_t* const wheels[] = {u"mouse.wheel", u"mouse.wheelu", u"mouse.wheeld"};
        for (int32_t mode = 0; mode < 3; ++mode)
            add(wheels[mode], [mode] { return std::make_shared<MouseWheelGetter>(mode); });
        const char16_t* const parts[] = {u"left", u"up",    u"right", u"down", u"btn1", u"btn2",
                                         u"btn3", u"btn4",  u"btn5",  u"btn6", u"btn7", u"btn8",
                                         u"btn9", u"btn10", u"btn11", u"btn12"};
        for (uint32_t id = 0; id < 4; ++id) {
            for (uint32_t index = 0; index < 16; ++index) {
                std::u16string name = u"joy";
                name += char16_t(u'0' + id);
                name += u'.';
                name += parts[index];
                add(name,
                    [id, index] { return std::make_shared<JoystickButtonGetter>(id, index); });
            }
        }
    }

    std::shared_ptr<IGetter> makeGetter(std::u16string_view name) const override {
        auto it = factories_.find(std::u16string(name));
        return it == factories_.end() ? nullptr : it->second();
    }
    bool contains(std::u16string_view name) const override {
        return factories_.count(std::u16string(name)) != 0;
    }
    size_t size() const override { return factories_.size(); }

private:
    void add(std::u16string name, Factory f) { factories_.emplace(std::move(name), std::move(f)); }

    std::unordered_map<std::u16string, Factory> factories_;
};

} // namespace

const std::vector<KeyboardName>& keyboardNames() {
    static const std::vector<KeyboardName> names = buildKeyboardNames();
    return names;
}

const KeyNameTable& keyNameTable(WindowHandle window) {
    static const Table table(window);
    return table;
}

} // namespace KoInput
