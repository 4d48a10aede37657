// without-fallocate PROGRAM [ARGUMENT]...: runs PROGRAM on a file system that
// cannot reserve room, as NFSv3 and FUSE file systems are: fallocate answers
// EOPNOTSUPP (a seccomp filter).
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

int main(int, char** argv) {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fallocate, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program{sizeof filter / sizeof filter[0], filter};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
      ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0) {
    ::execv(argv[1], argv + 1);
  }
  return 125;
}
