// Entry point: finds the game folder, reads setup.nut, enforces the single-instance rule,
// opens the window and hands over to the frame cycle. Every way out returns 0, as games
// and their launchers expect.
#include "frame/IMonitor.h"
#include "frame/IWindow.h"
#include "frame/QuitConfirmation.h"
#include "host/FrameCycle.h"
#include "host/Setup.h"
#include "io/File.h"
#include "io/FileManager.h"
#include "io/Path.h"

#include <cstdio>
#include <unistd.h>

using namespace KoPlayhost;

namespace {

// The game is the executable's own folder when that looks like one: it holds start.nut or
// setup.nut (also inside an archive beside it or appended to it), or a .koa archive; otherwise the first argument names the game folder, so one
// installed runner can start any game. The folder argument is not part of cmdline.
struct Game {
    std::u16string directory;
    std::vector<std::u16string> cmdline;
};

// A game whose setup.nut only includes scripts, or whose files are all packed, has no plain
// start.nut beside the runner and is still a game.
bool isGameFolder(KoIO::IFileManager& files, const std::u16string& directory) {
    if (files.exists(u"start.nut") || files.exists(u"setup.nut")) return true;
    auto folder = KoIO::Core::File::create(directory);
    if (!folder) return false;
    for (auto& child : folder->getChildren())
        if (KoIO::getExtension(child->getPath()) == u"koa" && child->isFile()) return true;
    return false;
}

bool findGame(int argc, char** argv, Game& game) {
    std::u16string exe = KoIO::getExecutablePath();
    std::u16string exeDir = KoIO::getParentPath(exe);
    if (argc > 0) game.cmdline.push_back(KoIO::fromUtf8(argv[0]));
    auto own = exeDir.empty() ? nullptr : KoIO::buildFileManager(exeDir, exe);
    int first = 1;
    if (own && isGameFolder(*own, exeDir)) {
        game.directory = exeDir;
        KoIO::setFileManager(KoIO::buildFileManager(exeDir, exe, true));
    } else {
        if (argc < 2) return false;
        std::u16string dir = KoIO::getAbsolutePath(KoIO::fromUtf8(argv[1]));
        auto manager = dir.empty() ? nullptr : KoIO::buildFileManager(dir, u"", true);
        if (!manager) {
            std::fprintf(stderr, "koplayhost: '%s' is not a game folder\n", argv[1]);
            return false;
        }
        game.directory = dir;
        KoIO::setFileManager(manager);
        first = 2;
    }
    for (int i = first; i < argc; ++i) game.cmdline.push_back(KoIO::fromUtf8(argv[i]));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Game game;
    if (!findGame(argc, argv, game)) {
        std::fputs("usage: koplayhost GAME_FOLDER [ARGUMENTS...]\n"
                   "  GAME_FOLDER holds start.nut (and setup.nut, media, .koa archives).\n"
                   "  A koplayhost placed in the game folder itself needs no GAME_FOLDER.\n",
                   stderr);
        return 0;
    }
    if (chdir(KoIO::toPosixPath(game.directory).c_str()) != 0) return 0;

    Setup setup;
    std::u16string problem;
    if (readSetup(u"setup.nut", setup, &problem) == SetupResult::Failed) {
        std::fprintf(stderr, "koplayhost: %s\n", KoIO::toUtf8(problem).c_str());
        return 0;
    }

    auto monitor = KoFrame::createMonitor(setup.ID);
    if (!monitor) return 0;
    if (setup.single && !monitor->isFirstInstance()) {
        monitor->requestRaise(); // the first instance shows its window
        return 0;
    }

    int code = 0;
    if (auto window = KoFrame::createWindow(setup.title, setup.width, setup.height)) {
        window->addCloseHandler(KoFrame::confirmQuit);
        code = runFrameCycle(window, setup, game.cmdline);
        window->destroy();
    }
    monitor.reset();
    return code;
}
