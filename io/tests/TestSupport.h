#pragma once
#include "io/Koa.h"
#include "io/koa/KoaWriter.h"

#include <string>
#include <vector>

namespace KoIOTest {

// A fresh directory under /tmp, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::u16string wide() const;
    // path() + "/" + rel
    std::string at(const std::string& rel) const { return path_ + "/" + rel; }
    // Writes a file, making its folders.
    void write(const std::string& rel, const std::string& data) const;
    std::string read(const std::string& rel) const;
    bool exists(const std::string& rel) const;

private:
    std::string path_;
};

void writeFile(const std::string& path, const std::string& data);
std::string readFile(const std::string& path);
void makeDirs(const std::string& path);

std::u16string u16(const std::string& utf8);
std::string u8(const std::u16string& text);
std::string bytes(const KoIO::ByteArray& b);
KoIO::ByteArray toBytes(const std::string& s);

// Archive bytes from items (names as stored, code page 932 bytes).
std::string archive(const std::vector<Koa::Writer::MemoryItem>& items);
// An archive reader over bytes in memory; null when it does not open.
Koa::ArchivePtr openBytes(const std::string& data, std::string_view key = Koa::kBuiltinKey);
// "any bytes" + archive + trailer, the layout of an executable with an appended archive.
std::string withTrailer(const std::string& prefix, const std::string& archive);
std::string trailer(uint32_t offset, uint32_t size);

// Runs a command through the shell; its exit status.
int run(const std::string& command, std::string* output = nullptr);

} // namespace KoIOTest
