#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "link/standard_streams.h"

namespace zema {

void KeepStandardStreamsOpen() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lower numbers are open by now, so open takes this one.
    const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened > STDERR_FILENO) ::close(opened);
  }
}

}  // namespace zema
