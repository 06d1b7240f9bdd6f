// The floor under a no-change mirror run: read every source folder with
// getdents64, statx each source entry, and statx the same name relative to
// the matching open target folder. No copying, no time comparison beyond a
// count, no output per file. A mirror that finds nothing to do cannot be much
// faster than this, so its no-change time is measured against it.
//
//   walk_limit SOURCE TARGET
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr unsigned kSourceMask = STATX_BASIC_STATS | STATX_BTIME;
constexpr unsigned kTargetMask = STATX_TYPE | STATX_MTIME;

struct Tally
{
    std::uint64_t folders = 0;
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
    std::uint64_t missing = 0;
    std::uint64_t differing = 0;
};

bool IsDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool SameTime(const struct statx_timestamp& a, const struct statx_timestamp& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Takes ownership of both descriptors; target may be -1 when the target
// folder does not exist, and then every target statx is left out.
void Walk(int source, int target, Tally& tally)
{
    // One buffer per level, the size glibc's readdir uses.
    std::vector<char> buffer(32 * 1024);
    for (;;) {
        const long got = getdents64(source, buffer.data(), buffer.size());
        if (got <= 0)
            break;
        for (long offset = 0; offset < got;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(buffer.data() + offset);
            offset += entry->d_reclen;
            const char* name = entry->d_name;
            if (IsDotOrDotDot(name))
                continue;

            struct statx own;
            if (statx(source, name, 0, kSourceMask, &own) != 0)
                continue;
            struct statx other;
            const bool present = target >= 0 && statx(target, name, 0, kTargetMask, &other) == 0;

            if (S_ISDIR(own.stx_mode)) {
                ++tally.folders;
                const int subSource = openat(source, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (subSource < 0)
                    continue;
                const int subTarget = present && S_ISDIR(other.stx_mode)
                                          ? openat(target, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                          : -1;
                Walk(subSource, subTarget, tally);
                continue;
            }
            ++tally.files;
            tally.bytes += own.stx_size;
            if (!present || S_ISDIR(other.stx_mode))
                ++tally.missing;
            else if (!SameTime(own.stx_mtime, other.stx_mtime))
                ++tally.differing;
        }
    }
    close(source);
    if (target >= 0)
        close(target);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "Usage: walk_limit SOURCE TARGET\n");
        return 2;
    }
    const int source = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (source < 0) {
        std::fprintf(stderr, "walk_limit: %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    const int target = open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    Tally tally;
    Walk(source, target, tally);
    std::printf("%" PRIu64 " folders, %" PRIu64 " files, %" PRIu64 " bytes; %" PRIu64
                " missing, %" PRIu64 " with another time in the target\n",
                tally.folders, tally.files, tally.bytes, tally.missing, tally.differing);
    return 0;
}
