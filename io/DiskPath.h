#pragma once
#include <string>

namespace KoIO::Disk {

// Games written for case-insensitive file systems name "Data\Title.PNG" for data/title.png.
// resolve() returns the path itself when it exists; otherwise each component that does not
// exist with its exact case is matched against its directory's entries ignoring the case of
// ASCII letters (the first matching name in byte order wins). Components from the first one
// that matches nothing on are kept as given, so a new file is made in the matched directory.
// Directory listings are cached and checked against the directory's change time; operations
// that create or remove entries call invalidate() for the directory they touched.
std::string resolve(const std::string& posixPath);
void invalidate(const std::string& directory);
// The directory part of a POSIX path ("." for a bare name, "/" for a root entry).
std::string parentOf(const std::string& posixPath);

} // namespace KoIO::Disk
