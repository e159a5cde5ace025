#include "graphics/gl/GlFunctions.h"

#include <SDL2/SDL.h>

namespace KoGraphics::Gl {

bool Functions::load() {
    bool ok = true;
#define KO_GL_LOAD(type, name)                                                                     \
    name = reinterpret_cast<type>(SDL_GL_GetProcAddress("gl" #name));                             \
    ok = ok && name != nullptr;
    KO_GL_FUNCTIONS(KO_GL_LOAD)
#undef KO_GL_LOAD
    return ok;
}

} // namespace KoGraphics::Gl
