#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Writing Koa archives: the runner only reads them; the packer and the tests make them.
namespace Koa::Writer {

struct Item {
    std::u16string name;  // relative, '\' between parts
    bool directory = false;
    std::string diskPath; // where the data comes from (files)
    uint32_t size = 0;
};

// Every file and folder under `folder` (symbolic links followed), names relative to it, in
// byte order of their paths. False with a message when something cannot be read or named:
// names that are not UTF-8 or have no code page 932 form, names that differ only in the case
// of ASCII letters (an archive could not tell them apart), special files, files of 4 GiB.
bool collectFolder(const std::string& folder, std::vector<Item>& items, std::string& error);

// Writes an archive scrambled with the built-in key. Output goes to a temporary file beside
// `output` that replaces it only when everything was written; on failure nothing is left.
bool writeArchive(const std::vector<Item>& items, const std::string& output, std::string& error);

// Archive bytes in memory, for tests: items' data given inline.
struct MemoryItem {
    std::string name; // bytes as stored (code page 932), either separator
    uint8_t kind = 0;
    std::string data;
};
std::string buildArchive(const std::vector<MemoryItem>& items);

// A copy of `executable` with `archive` appended and the trailer after it. An archive the
// executable already carries at its end is replaced. The copy keeps the executable's mode.
bool appendArchive(const std::string& executable, const std::string& archive,
                   const std::string& output, std::string& error);

// Extracts every entry of an archive (or of the archive an executable carries) under
// `folder`. Names that would leave the folder are refused.
bool extractArchive(const std::string& archive, const std::string& folder, std::string& error);

// Lines "file|dir <size> <name>" for every entry.
bool listArchive(const std::string& archive, std::vector<std::string>& lines, std::string& error);

} // namespace Koa::Writer
