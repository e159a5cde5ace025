// Controller update() as a game calls it every frame (target: a 30-key controller well under
// 5 us), and the 101-key ready-made keyboard for scale.
#include "input/Components.h"
#include "input/Controller.h"
#include "input/KeyNames.h"
#include "input/Platform.h"

#include <benchmark/benchmark.h>

namespace {

std::shared_ptr<KoInput::Core::Controller> keyboard(size_t keys) {
    auto c = std::make_shared<KoInput::Core::Controller>(KoInput::WindowHandle{nullptr});
    const auto& names = KoInput::keyboardNames();
    const auto& table = KoInput::keyNameTable(nullptr);
    for (size_t i = 0; i < keys; ++i) {
        auto component = std::make_shared<KoInput::Core::VolatileComponent>(0);
        component->addGetter(table.makeGetter(names[i % names.size()].name));
        c->setComponent(static_cast<int32_t>(i), component);
    }
    return c;
}

void updateKeys(benchmark::State& state) {
    KoInput::Testing::startEvents();
    auto c = keyboard(static_cast<size_t>(state.range(0)));
    KoInput::Testing::pushKey("A", true); // some keys down, as in play
    KoInput::Testing::pushKey("Left Shift", true);
    for (auto _ : state) {
        c->update();
        benchmark::DoNotOptimize(c->getInput(0));
    }
}
BENCHMARK(updateKeys)->Arg(30)->Arg(101);

} // namespace

BENCHMARK_MAIN();
