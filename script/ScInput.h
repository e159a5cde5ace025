#pragma once
#include "input/IInput.h"
#include "script/Library.h"

namespace KoScript {

// The Input table: the cursor functions and the native controller class Controller_, and (in
// its built-in script) the configurable Input.Controller, the key-name tables and the
// ready-made controllers. At the end of every frame it hides the cursor over the window's
// client area while the script asked for a hidden cursor.
class InputLibrary final : public Library {
public:
    // `window` is the program's main window: controllers, "mouse.x"/"mouse.y" and the cursor
    // functions work in its client coordinates.
    explicit InputLibrary(KoInput::WindowHandle window);
    bool load(HSQUIRRELVM v) override;
    void beginFrame(HSQUIRRELVM v) override;
    void endFrame(HSQUIRRELVM v) override;

private:
    KoInput::WindowHandle window_;
};

} // namespace KoScript
