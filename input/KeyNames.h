#pragma once
// The names scripts give physical inputs ("key.space", "mouse.x", "joy1.btn3"), each making a
// new getter. 177 names; exact, case-sensitive match.
#include "input/IInput.h"

#include <string>
#include <string_view>
#include <vector>

namespace KoInput {

class KeyNameTable {
public:
    virtual ~KeyNameTable() = default;
    // A new getter for the name; empty for a name not in the table.
    virtual std::shared_ptr<IGetter> makeGetter(std::u16string_view name) const = 0;
    virtual bool contains(std::u16string_view name) const = 0;
    virtual size_t size() const = 0;
};

// The process's table, built on the first call with that call's window ("mouse.x" and
// "mouse.y" read client coordinates of it for the life of the process); later windows are
// ignored.
const KeyNameTable& keyNameTable(WindowHandle window);

// The 101 keyboard names in table order, with their virtual-key codes.
struct KeyboardName {
    const char16_t* name;
    int32_t code;
};
const std::vector<KeyboardName>& keyboardNames();

} // namespace KoInput
