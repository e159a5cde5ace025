#include "io/KoaFile.h"

#include "io/Path.h"

#include <algorithm>
#include <cstring>

namespace KoIO {

FilePtr KoaFileStorage::getFile(const std::u16string& path) {
    return std::make_shared<KoaFile>(reader_, path);
}

std::shared_ptr<IInputStream> KoaFile::openInputStream(uint32_t options) {
    if (!isFile()) return nullptr;
    ByteArray data;
    if (reader_->getSize(path_) > 0) {
        data = reader_->read(path_);
        if (data.empty()) return nullptr;
    }
    auto stream = std::make_shared<KoaInputStream>(std::move(data));
    if (options & END) stream->setCursor(stream->getLength());
    return stream;
}

FilePtr KoaFile::getParent() {
    return std::make_shared<KoaFile>(reader_, normalizePath(getParentPath(normalizePath(path_))));
}

FileArray KoaFile::getChildren() {
    FileArray children;
    const std::u16string self = Koa::ArchiveReader::fold(path_);
    for (const auto& name : reader_->getNames()) {
        std::u16string n = normalizePath(name);
        if (Koa::ArchiveReader::fold(getParentPath(n)) == self)
            children.push_back(std::make_shared<KoaFile>(reader_, n));
    }
    return children;
}

bool KoaInputStream::setCursor(uint32_t p) {
    if (p > data_.size()) return false;
    cursor_ = p;
    return true;
}

uint32_t KoaInputStream::getRemaining() {
    if (data_.empty() || cursor_ >= data_.size()) return 0;
    return uint32_t(data_.size()) - cursor_;
}

int KoaInputStream::peek() { return getRemaining() ? data_[cursor_] : -1; }

int KoaInputStream::readByte() { return getRemaining() ? data_[cursor_++] : -1; }

uint32_t KoaInputStream::read(uint8_t* buffer, uint32_t count) {
    if (!buffer) return 0;
    uint32_t n = std::min(count, getRemaining());
    if (n) std::memcpy(buffer, data_.data() + cursor_, n);
    cursor_ += n;
    return n;
}

} // namespace KoIO
