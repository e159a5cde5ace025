#pragma once
// A VM set up like the game's (standard libraries, error reports), with print and error
// output captured, for tests of the script libraries without a window.
#include "script/Library.h"

#include <squirrel.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace KoTest {

class ScriptVm {
public:
    // Runs the runner's prelude first (DEBUG as given, cmdline ["koplayhost"]).
    explicit ScriptVm(bool debug = false);
    ~ScriptVm();
    ScriptVm(const ScriptVm&) = delete;
    ScriptVm& operator=(const ScriptVm&) = delete;

    // Loads a library as the runner would (natives and built-in script); false if it refused.
    bool load(std::shared_ptr<KoScript::Library> library);
    // Compiles and runs `code` (UTF-8) with the root table as this; false on any error.
    bool run(std::string_view code);
    // Runs `expression` and returns its value's string form ("" on error).
    std::string eval(std::string_view expression);

    void beginFrame() { libraries_->beginFrame(); }
    void endFrame() { libraries_->endFrame(); }

    HSQUIRRELVM vm() const { return vm_; }
    // Everything printed / reported so far (UTF-8); take() empties it.
    std::string out, err;
    std::string takeOut() { return std::exchange(out, {}); }
    std::string takeErr() { return std::exchange(err, {}); }

private:
    HSQUIRRELVM vm_;
    std::unique_ptr<KoScript::LibraryList> libraries_;
};

} // namespace KoTest
