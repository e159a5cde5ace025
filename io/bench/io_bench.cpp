// Start-up paths of a game: many files from an archive beside the executable, case-folded
// disk lookups, and decoding script text.
#include "io/Encoding.h"
#include "io/File.h"
#include "io/FileManager.h"
#include "io/KoaFile.h"
#include "io/MemoryStream.h"
#include "io/Path.h"
#include "io/Reader.h"
#include "io/koa/KoaWriter.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

struct Dir {
    Dir() {
        char p[] = "/tmp/ko_io_bench.XXXXXX";
        if (!mkdtemp(p)) throw std::runtime_error("mkdtemp");
        path = p;
    }
    ~Dir() { std::filesystem::remove_all(path); }
    void write(const std::string& rel, const std::string& data) const {
        std::filesystem::create_directories(std::filesystem::path(path + "/" + rel).parent_path());
        std::ofstream(path + "/" + rel, std::ios::binary) << data;
    }
    std::string path;
};

constexpr int kFiles = 500;

std::string name(int i) { return "data\\img" + std::to_string(i % 10) + "\\pic" + std::to_string(i) + ".png"; }

// Builds the file manager and reads 500 archived files of 8 KiB through it.
void ArchiveStartup(benchmark::State& state) {
    Dir d;
    std::vector<Koa::Writer::MemoryItem> items;
    for (int i = 0; i < kFiles; ++i) items.push_back({name(i), 0, std::string(8192, char(i))});
    d.write("data.koa", Koa::Writer::buildArchive(items));
    d.write("start.nut", "x");
    size_t bytes = 0;
    for (auto _ : state) {
        auto fm = KoIO::buildFileManager(KoIO::fromPosixPath(d.path), u"");
        for (int i = 0; i < kFiles; ++i) {
            auto in = fm->openInputStream(KoIO::fromUtf8(name(i)), 0);
            bytes += in->readAll().size();
        }
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
    state.SetBytesProcessed(int64_t(bytes));
}
BENCHMARK(ArchiveStartup)->Unit(benchmark::kMillisecond);

// Existence checks of disk files named with another case than on disk.
void CaseFoldedDiskLookup(benchmark::State& state) {
    Dir d;
    for (int i = 0; i < 200; ++i) d.write("Data/Img/Pic" + std::to_string(i) + ".png", "");
    auto base = KoIO::fromPosixPath(d.path);
    int found = 0;
    for (auto _ : state)
        for (int i = 0; i < 200; ++i)
            found += KoIO::Core::File::create(u"DATA\\img\\pic" + KoIO::fromUtf8(std::to_string(i)) + u".PNG", base)->exists();
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(state.iterations() * 200);
}
BENCHMARK(CaseFoldedDiskLookup);

// Decoding a 1 MiB Shift_JIS script (mostly ASCII with Japanese comments).
void ShiftJisScriptRead(benchmark::State& state) {
    std::string line = "local x = 1; // \x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x52\x83\x81\x83\x93\x83\x67\r\n";
    std::string text;
    while (text.size() < (1 << 20)) text += line;
    for (auto _ : state) {
        auto s = std::make_shared<KoIO::Core::MemoryStream>(reinterpret_cast<uint8_t*>(text.data()),
                                                           uint32_t(text.size()));
        auto r = KoIO::Core::StreamReader::create(s, KoIO::createDecoder(KoIO::SHIFT_JIS));
        benchmark::DoNotOptimize(r->readAll());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * text.size()));
}
BENCHMARK(ShiftJisScriptRead)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
