// The plugin loader and the entry-point table plugins are built against.
#include "host/plugin/Plugin.h"
#include "host/plugin/koplugin.h"
#include "script/tests/ScriptVm.h"

#include <gtest/gtest.h>

TEST(Plugin, EntryPointTableOrder) {
    const sq_api* api = KoPlayhost::pluginApi();
    auto slots = reinterpret_cast<void* const*>(api);
    EXPECT_EQ(sizeof(sq_api), 134 * sizeof(void*));
    EXPECT_EQ(slots[0], reinterpret_cast<void*>(&sq_open));
    EXPECT_EQ(slots[8], reinterpret_cast<void*>(&sq_geterrorfunc));
    EXPECT_EQ(slots[31], reinterpret_cast<void*>(&sq_newclosure));
    EXPECT_EQ(slots[32], reinterpret_cast<void*>(&sq_setparamscheck));
    EXPECT_EQ(slots[117], reinterpret_cast<void*>(&sq_setdebughook));
    EXPECT_EQ(slots[133], reinterpret_cast<void*>(&sq_setnativedebughook));
}

TEST(Plugin, MissingLibraryGivesNothing) {
    KoTest::ScriptVm vm;
    EXPECT_EQ(KoPlayhost::createPlugin(u"surely_not_a_plugin_here", vm.vm(), nullptr), nullptr);
    EXPECT_EQ(KoPlayhost::createPlugin(u"", vm.vm(), nullptr), nullptr);
}
