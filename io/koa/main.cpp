// koa: packs folders into Koa archives, lists and extracts them, and appends one to a copy
// of the runner so that a game ships as one file.
#include "io/koa/KoaWriter.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: koa <command> [arguments]\n"
    "\n"
    "  koa create <archive.koa> <folder>\n"
    "      Packs every file and folder under <folder> into a new archive. Names are stored\n"
    "      relative to <folder>, with '\\' between parts, in code page 932 (Shift_JIS), and\n"
    "      the archive is scrambled with the runner's built-in key.\n"
    "  koa list <archive>\n"
    "      Lists the entries: kind (file or dir), size in bytes and name. <archive> may\n"
    "      also be an executable that carries an archive.\n"
    "  koa extract <archive> [<folder>]\n"
    "      Writes every entry under <folder> (default: the current folder).\n"
    "  koa append <executable> <archive.koa> <output>\n"
    "      Writes a copy of <executable> with the archive appended (the linked-data block),\n"
    "      so the runner finds the game inside itself. An archive the executable already\n"
    "      carries is replaced.\n"
    "  koa --help\n"
    "      Shows this text.\n"
    "\n"
    "Nothing is written when an input cannot be read: outputs are written to a temporary\n"
    "file and renamed into place at the end. Exit status: 0 on success, 1 on failure,\n"
    "2 on wrong usage.\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int fail(const std::string& error) {
    std::fprintf(stderr, "koa: %s\n", error.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage();
    const std::string& cmd = args[0];
    std::string error;
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (cmd == "create" && args.size() == 3) {
        std::vector<Koa::Writer::Item> items;
        if (!Koa::Writer::collectFolder(args[2], items, error) ||
            !Koa::Writer::writeArchive(items, args[1], error))
            return fail(error);
        return 0;
    }
    if (cmd == "list" && args.size() == 2) {
        std::vector<std::string> lines;
        if (!Koa::Writer::listArchive(args[1], lines, error)) return fail(error);
        for (const auto& line : lines) std::printf("%s\n", line.c_str());
        return 0;
    }
    if (cmd == "extract" && (args.size() == 2 || args.size() == 3)) {
        if (!Koa::Writer::extractArchive(args[1], args.size() == 3 ? args[2] : ".", error))
            return fail(error);
        return 0;
    }
    if (cmd == "append" && args.size() == 4) {
        if (!Koa::Writer::appendArchive(args[1], args[2], args[3], error)) return fail(error);
        return 0;
    }
    return usage();
}
