// The reference copier: copy_file_range from each source file (plain reads
// and writes where the kernel refuses it, as between two file systems) into
// a new target file made with the source's mode, then the source's times
// with futimens. No temporary names, no checks, no log: what a mirror's copy
// costs beyond this is its own overhead. Walks subfolders so it can copy any
// tree.
//
//   plain_copy SOURCE TARGET      (TARGET must exist)
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

int failures = 0;

void Fail(const char* what, const char* name)
{
    std::fprintf(stderr, "plain_copy: %s %s: %s\n", what, name, std::strerror(errno));
    ++failures;
}

void CopyFile(int source, int target, const char* name)
{
    const int in = openat(source, name, O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return Fail("open", name);
    struct stat info;
    if (fstat(in, &info) != 0) {
        close(in);
        return Fail("stat", name);
    }
    const int out =
        openat(target, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, info.st_mode & 07777);
    if (out < 0) {
        close(in);
        return Fail("create", name);
    }
    // Between two file systems the kernel may refuse copy_file_range
    // (EXDEV): then plain reads and writes, as cp does.
    bool kernelCopy = true;
    for (;;) {
        ssize_t copied = -1;
        if (kernelCopy) {
            copied = copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
            if (copied < 0 && (errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP)) {
                kernelCopy = false;
                continue;
            }
        } else {
            static char buffer[1 << 17];
            copied = read(in, buffer, sizeof buffer);
            for (ssize_t done = 0; copied > 0 && done < copied;) {
                const ssize_t wrote = write(out, buffer + done, size_t(copied - done));
                if (wrote < 0) {
                    copied = -1;
                    break;
                }
                done += wrote;
            }
        }
        if (copied == 0)
            break;
        if (copied < 0) {
            Fail("copy", name);
            break;
        }
    }
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (futimens(out, times) != 0)
        Fail("set times of", name);
    close(in);
    if (close(out) != 0)
        Fail("close", name);
}

void CopyFolder(int source, int target)
{
    std::vector<char> buffer(32 * 1024);
    for (;;) {
        const long got = getdents64(source, buffer.data(), buffer.size());
        if (got <= 0)
            break;
        for (long offset = 0; offset < got;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(buffer.data() + offset);
            offset += entry->d_reclen;
            const char* name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                continue;
            struct stat info;
            if (fstatat(source, name, &info, 0) != 0) {
                Fail("stat", name);
                continue;
            }
            if (S_ISREG(info.st_mode)) {
                CopyFile(source, target, name);
            } else if (S_ISDIR(info.st_mode)) {
                if (mkdirat(target, name, 0777) != 0 && errno != EEXIST) {
                    Fail("mkdir", name);
                    continue;
                }
                const int subSource = openat(source, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                const int subTarget = openat(target, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (subSource >= 0 && subTarget >= 0)
                    CopyFolder(subSource, subTarget);
                else
                    Fail("open folder", name);
                if (subSource >= 0)
                    close(subSource);
                if (subTarget >= 0)
                    close(subTarget);
            }
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "Usage: plain_copy SOURCE TARGET\n");
        return 2;
    }
    const int source = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int target = open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (source < 0 || target < 0) {
        std::fprintf(stderr, "plain_copy: cannot open %s\n", source < 0 ? argv[1] : argv[2]);
        return 1;
    }
    CopyFolder(source, target);
    close(source);
    close(target);
    return failures == 0 ? 0 : 1;
}
