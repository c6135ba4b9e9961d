#pragma once

#include <QtGlobal>

// Copies byte ranges between open files inside the kernel (copy_file_range), so the bytes
// of a track never pass through user space. Neither file's offset moves.
namespace KernelCopy {

// Copies up to length bytes from `from` at fromOffset to `to` at toOffset. Returns the bytes
// copied: fewer when the source ends or when the kernel cannot copy between these files
// after all (the caller copies the rest itself); -1 with errno set when writing failed.
qint64 copy(int from, qint64 fromOffset, int to, qint64 toOffset, qint64 length);

} // namespace KernelCopy
