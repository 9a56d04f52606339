// Whole-file reads and atomic whole-file replacement on the POSIX file system.
#ifndef ZT_PLATFORM_FILE_IO_H
#define ZT_PLATFORM_FILE_IO_H

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace zt::platform {

// Reads the file at `path` into `content`. False with errno set when it cannot be read or is not a
// regular file (EISDIR for a folder, EINVAL for a FIFO, socket or device).
bool readWholeFile(const char* path, std::string& content);
// The same read straight into a block of the file's own, whose first `size` bytes it fills; null
// with errno set when readWholeFile would fail. The block is one byte larger than the file was
// when opened, so that the read that finds the end needs no second block; a file that grew
// meanwhile is read whole.
std::unique_ptr<char[]> readWholeFileBlock(const char* path, std::size_t& size);

// Replaces the file at `path` (or creates it) with `content`: a temporary file in the same folder
// is written, flushed to disk and renamed over the original, keeping the original's permission
// bits; a symbolic link is followed and its target replaced, while a hard link is not (the name
// gets the new file, other names keep the old one). A file without write permission for its owner
// is not replaced (EACCES). Any failure leaves the original as it was, removes the temporary file
// and returns false with errno set. A success also removes the temporaries that earlier saves of
// the same file left when their process died.
bool replaceFileAtomically(const char* path, std::string_view content);

}  // namespace zt::platform

#endif  // ZT_PLATFORM_FILE_IO_H
