#pragma once
// Runs every query of the archive reader and its file adapters over arbitrary bytes: as an
// archive, as an archive after a valid header (to reach the directory walk quickly), and as
// an executable image with a trailer. Returns the number of entries seen so callers can
// check invariants; anything that reads outside the data shows up under the sanitizers.
#include "io/Koa.h"
#include "io/KoaFile.h"
#include "io/Path.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace KoIOFuzz {

inline void queryAll(const Koa::ArchivePtr& reader) {
    KoIO::KoaFileStorage storage(reader);
    for (const auto& name : reader->getNames()) {
        // Every listed name must be found again, under its own and its folded spelling.
        if (!reader->exists(name) || !reader->exists(Koa::ArchiveReader::fold(name))) std::abort();
        reader->isFile(name);
        reader->isDirectory(name);
        uint32_t size = reader->getSize(name);
        KoIO::ByteArray data = reader->read(name);
        if (!data.empty() && data.size() != size) std::abort();
        auto file = storage.getFile(KoIO::normalizePath(name));
        if (auto in = file->openInputStream(KoIO::END)) {
            in->setCursor(0);
            in->readAll();
        }
        file->getChildren();
        file->getParent()->exists();
    }
    storage.getFile(u"")->getChildren();
    reader->read(u"missing");
    reader->close();
    for (const auto& name : reader->getNames()) reader->read(name); // after close: must fail
}

inline void runArchiveQueries(const uint8_t* data, size_t size) {
    if (auto source = Koa::MemorySource::create(data, size)) {
        auto reader = std::make_shared<Koa::ArchiveReader>();
        if (reader->open(source, Koa::kBuiltinKey)) queryAll(reader);
    }
    {
        std::string header(Koa::kSignature);
        header += '\0';
        std::string text(Koa::kHeaderText);
        text += '\0';
        Koa::scramble(reinterpret_cast<uint8_t*>(text.data()), text.size(), Koa::kBuiltinKey);
        KoIO::ByteArray bytes(header.begin(), header.end());
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.insert(bytes.end(), data, data + size);
        auto reader = std::make_shared<Koa::ArchiveReader>();
        if (!reader->open(Koa::MemorySource::create(std::move(bytes)), Koa::kBuiltinKey)) std::abort();
        queryAll(reader);
    }
    if (auto exe = Koa::MemorySource::create(data, size))
        if (auto linked = Koa::openLinkedArchive(exe)) queryAll(linked);
}

} // namespace KoIOFuzz
