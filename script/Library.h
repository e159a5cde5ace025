#pragma once
#include <squirrel.h>

#include <memory>
#include <string>
#include <vector>

namespace KoScript {

// A native library of the script VM. load() registers its natives and runs its built-in
// script; the frame hooks run around every slice of the game script.
class Library {
public:
    virtual ~Library() = default;
    // False leaves the library out (no hooks, no unload).
    virtual bool load(HSQUIRRELVM) { return true; }
    virtual void unload(HSQUIRRELVM) {}
    virtual void beginFrame(HSQUIRRELVM) {}
    virtual void endFrame(HSQUIRRELVM) {}
};

// Implemented by the library that draws the window: saves the last frame it showed as an image
// file (PNG, JPEG or BMP by the name's extension). False when it cannot.
class ScreenCapture {
public:
    virtual ~ScreenCapture() = default;
    virtual bool saveScreen(const std::u16string& path) = 0;
};

// Libraries in registration order; every pass runs in that order.
class LibraryList {
public:
    explicit LibraryList(HSQUIRRELVM vm) : vm_(vm) {}
    ~LibraryList() { clear(); }
    LibraryList(const LibraryList&) = delete;
    LibraryList& operator=(const LibraryList&) = delete;

    // Loads the library and keeps it when load() succeeds.
    bool add(std::shared_ptr<Library> library) {
        if (!library || !library->load(vm_)) return false;
        libraries_.push_back(std::move(library));
        return true;
    }
    void beginFrame() {
        for (auto& l : libraries_) l->beginFrame(vm_);
    }
    void endFrame() {
        for (auto& l : libraries_) l->endFrame(vm_);
    }
    // Unloads every library, then releases them in order.
    void clear() {
        for (auto& l : libraries_) l->unload(vm_);
        for (auto& l : libraries_) l.reset();
        libraries_.clear();
    }
    size_t size() const { return libraries_.size(); }

private:
    HSQUIRRELVM vm_;
    std::vector<std::shared_ptr<Library>> libraries_;
};

} // namespace KoScript
