#include "TestSupport.h"

#include "io/Path.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>

namespace KoIOTest {

TempDir::TempDir() {
    char pattern[] = "/tmp/ko_io_test.XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::u16string TempDir::wide() const { return KoIO::fromPosixPath(path_); }

void TempDir::write(const std::string& rel, const std::string& data) const {
    writeFile(at(rel), data);
}
std::string TempDir::read(const std::string& rel) const { return readFile(at(rel)); }
bool TempDir::exists(const std::string& rel) const {
    return std::filesystem::exists(std::filesystem::symlink_status(at(rel)));
}

void makeDirs(const std::string& path) { std::filesystem::create_directories(path); }

void writeFile(const std::string& path, const std::string& data) {
    auto parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(data.data(), std::streamsize(data.size()));
    if (!f) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::u16string u16(const std::string& s) { return KoIO::fromUtf8(s); }
std::string u8(const std::u16string& s) { return KoIO::toUtf8(s); }
std::string bytes(const KoIO::ByteArray& b) { return std::string(b.begin(), b.end()); }
KoIO::ByteArray toBytes(const std::string& s) { return KoIO::ByteArray(s.begin(), s.end()); }

std::string archive(const std::vector<Koa::Writer::MemoryItem>& items) {
    return Koa::Writer::buildArchive(items);
}

Koa::ArchivePtr openBytes(const std::string& data, std::string_view key) {
    auto source = Koa::MemorySource::create(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    if (!source) return nullptr;
    auto reader = std::make_shared<Koa::ArchiveReader>();
    if (!reader->open(source, key)) return nullptr;
    return reader;
}

std::string trailer(uint32_t offset, uint32_t size) {
    std::string t;
    for (uint32_t v : {offset, size})
        for (int i = 0; i < 4; ++i) t += char((v >> (8 * i)) & 0xFF);
    return t + std::string(Koa::kLinkedDataMarker);
}

std::string withTrailer(const std::string& prefix, const std::string& archive) {
    return prefix + archive + trailer(uint32_t(prefix.size()), uint32_t(archive.size()));
}

int run(const std::string& command, std::string* output) {
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return -1;
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int status = pclose(p);
    if (output) *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace KoIOTest
