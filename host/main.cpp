// Entry point: finds the game folder, reads setup.nut, enforces the single-instance rule,
// opens the window and hands over to the frame cycle. Every way out returns 0, as games
// and their launchers expect, except counted test runs (--frames), whose status says whether
// the game ran cleanly.
#include "frame/IMonitor.h"
#include "frame/IWindow.h"
#include "frame/QuitConfirmation.h"
#include "frame/ReportBox.h"
#include "host/FrameCycle.h"
#include "host/Output.h"
#include "host/Setup.h"
#include "io/File.h"
#include "io/FileManager.h"
#include "io/Path.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

using namespace KoPlayhost;

namespace {

#ifdef __GLIBC__
// A fixed mmap threshold keeps glibc from raising it (and the heap-trim threshold with it)
// after the first large buffer is freed; otherwise each later large temporary (a decoded
// image, a read-back) stays in the heap for good and resident memory climbs in 1 MiB steps.
// The OpenGL driver allocates and frees about 1 MiB of scene data and a streamed vertex store
// every frame: with the default thresholds these were unmapped or trimmed and faulted in again
// every frame (about 40 % of the main thread's time at 2,000 sprites). So the top may keep 2 MiB
// free, and 1.5 MiB of it is touched once here, so those pages count from the start
// instead of showing up later as growth.
void tuneHeap() {
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    mallopt(M_TRIM_THRESHOLD, 2 * 1024 * 1024);
    constexpr size_t kBlock = 64 * 1024, kBlocks = 24;  // below the mmap threshold: heap pages
    static void* (*volatile allocate)(size_t) = std::malloc;
    void* blocks[kBlocks];
    for (auto& b : blocks) {
        b = allocate(kBlock);
        if (b) std::memset(b, 0, kBlock);
    }
    for (size_t i = kBlocks; i-- > 0;) std::free(blocks[i]);
}
#endif

// The game is the executable's own folder when that looks like one: it holds start.nut or
// setup.nut (also inside an archive beside it or appended to it), or a .koa archive; otherwise the
// first argument names the game folder, so one installed runner can start any game. The folder
// argument is not part of cmdline.
struct Game {
    std::u16string directory;
    std::vector<std::u16string> cmdline;
    RunOptions options;
    bool offscreen = false;
    bool badOptions = false;
};

// Options of the folder form, before the folder: --frames N, --screenshot FILE, --offscreen.
// Returns the index of the first argument after them, or -1 (with a message) when one is wrong.
int readOptions(int argc, char** argv, Game& game) {
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        std::string option = argv[i];
        if (option == "--offscreen") {
            game.offscreen = true;
        } else if ((option == "--frames" || option == "--screenshot") && i + 1 < argc) {
            const char* value = argv[++i];
            if (option == "--screenshot") {
                game.options.screenshot = KoIO::getAbsolutePath(KoIO::fromUtf8(value));
                continue;
            }
            char* end = nullptr;
            unsigned long n = std::strtoul(value, &end, 10);
            if (*value < '0' || *value > '9' || *end || n == 0 || n > 100000000) {
                std::fprintf(stderr, "koplayhost: --frames wants a count of frames, not '%s'\n",
                             value);
                return -1;
            }
            game.options.frames = uint32_t(n);
        } else {
            std::fprintf(stderr, "koplayhost: unknown option '%s'\n", argv[i]);
            return -1;
        }
    }
    if (!game.options.screenshot.empty() && game.options.frames == 0) {
        std::fputs("koplayhost: --screenshot needs --frames\n", stderr);
        return -1;
    }
    // A counted run is reproducible: its clock moves by the frame keeper's sleeps alone.
    if (game.options.frames) game.options.clock = KoTimer::manualClock();
    return i;
}

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
        int at = readOptions(argc, argv, game);
        game.badOptions = at < 0;
        if (at < 0 || at >= argc) return false;
        std::u16string dir = KoIO::getAbsolutePath(KoIO::fromUtf8(argv[at]));
        auto manager = dir.empty() ? nullptr : KoIO::buildFileManager(dir, u"", true);
        if (!manager) {
            std::fprintf(stderr, "koplayhost: '%s' is not a game folder\n", argv[at]);
            return false;
        }
        game.directory = dir;
        KoIO::setFileManager(manager);
        first = at + 1;
    }
    for (int i = first; i < argc; ++i) game.cmdline.push_back(KoIO::fromUtf8(argv[i]));
    return true;
}

} // namespace

int main(int argc, char** argv) {
#ifdef __GLIBC__
    tuneHeap();
#endif
    Game game;
    if (!findGame(argc, argv, game)) {
        std::fputs("usage: koplayhost [OPTIONS] GAME_FOLDER [ARGUMENTS...]\n"
                   "  GAME_FOLDER holds start.nut (and setup.nut, media, .koa archives).\n"
                   "  A koplayhost placed in the game folder itself needs no GAME_FOLDER.\n"
                   "options (for testing games):\n"
                   "  --frames N         run N frames on a clock that advances one frame\n"
                   "                     interval per frame, then end; the exit status is 1\n"
                   "                     when the script failed\n"
                   "  --screenshot FILE  with --frames: save the last frame (.png .jpg .bmp)\n"
                   "  --offscreen        no window on the display (SDL's offscreen driver)\n",
                   stderr);
        return game.badOptions ? 2 : 0;
    }
    if (game.offscreen) setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (chdir(KoIO::toPosixPath(game.directory).c_str()) != 0) return 0;

    Setup setup;
    std::u16string problem;
    if (readSetup(u"setup.nut", setup, &problem) == SetupResult::Failed) {
        // Reported like a script error (error.txt and standard error): it is the game's fault.
        hostError(nullptr, u"%s\n", problem.c_str());
        return game.options.frames ? 1 : 0;
    }

    auto monitor = KoFrame::createMonitor(setup.ID);
    if (!monitor) return 0;
    if (setup.single && !monitor->isFirstInstance()) {
        monitor->requestRaise(); // the first instance shows its window
        return 0;
    }

    int code = 0;
    bool opened = false;
    if (auto window = KoFrame::createWindow(setup.title, setup.width, setup.height)) {
        opened = true;
        window->addCloseHandler(KoFrame::confirmQuit);
        code = runFrameCycle(window, setup, game.cmdline, game.options);
        // A game in development shows why it stopped instead of vanishing.
        if (setup.debug && !game.options.frames && !reportedErrors().empty())
            KoFrame::showErrorReport(window.get(), reportedErrors());
        window->destroy();
    } else {
        hostError(nullptr, u"the game's window (%d x %d) cannot be opened\n", int(setup.width),
                  int(setup.height));
    }
    monitor.reset();
    // Counted runs are for testing: their status tells whether the game ran cleanly.
    if (game.options.frames)
        return opened && reportedErrors().empty() && !screenshotFailed() ? 0 : 1;
    return code;
}
