#include "mp3/kernelcopy.h"

#include <cerrno>

#include <unistd.h>

qint64 KernelCopy::copy(int from, qint64 fromOffset, int to, qint64 toOffset, qint64 length)
{
    loff_t in = fromOffset;
    loff_t out = toOffset;
    qint64 done = 0;
    while (done < length) {
        const ssize_t copied =
            ::copy_file_range(from, &in, to, &out, static_cast<size_t>(length - done), 0);
        if (copied > 0) {
            done += copied;
            continue;
        }
        if (copied == 0)
            break; // the source ended
        if (errno == EINTR)
            continue;
        // Files the kernel cannot copy between (another file system on an old kernel, a
        // special file, no such call): the caller's own copy takes over.
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP
            || errno == EBADF || errno == ETXTBSY)
            break;
        return -1;
    }
    return done;
}
