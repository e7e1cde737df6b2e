// The save of a file that never damages the file it replaces: the name rules of a save and the temporary
// files behind it.
#include "curves/curvefile.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace curvefile {

std::string ResolveSaveName(const std::string& fileName, const std::string& defaultExt,
                            const std::string& defaultDir) {
    std::string ext = defaultExt;
    if (!ext.empty() && ext[0] != '.') ext.insert(ext.begin(), '.');
    fs::path p(fileName);
    if (p.filename().string().find('.') == std::string::npos) p += ext;
    if (p.is_relative() && !defaultDir.empty()) p = fs::path(defaultDir) / p;
    return p.string();
}

std::string BackupName(const std::string& fileName, const std::string& backupExt) {
    std::string ext = backupExt;
    if (!ext.empty() && ext[0] != '.') ext.insert(ext.begin(), '.');
    const fs::path p(fileName);
    const std::string name = p.filename().string();
    std::string stem = name.substr(0, name.find('.'));
    // A name that starts with "." or would back up onto itself keeps its whole name.
    if (stem.empty() || stem + ext == name) stem = name;
    return (p.parent_path() / (stem + ext)).string();
}

long long TSaveFile::FailWriteAfterBytes = -1;

TSaveFile::~TSaveFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!temp_.empty()) ::unlinkat(dirFd_, temp_.c_str(), 0);
    if (!backupTemp_.empty()) ::unlinkat(dirFd_, backupTemp_.c_str(), 0);
    if (dirFd_ >= 0) ::close(dirFd_);
}

bool TSaveFile::Fail(const std::string& what, int err) {
    error_ = what;
    if (err != 0) error_ += ": " + std::string(std::strerror(err));
    return false;
}

bool TSaveFile::WriteAll(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t chunk = size - done;
        if (FailWriteAfterBytes >= 0 && written_ + static_cast<long long>(chunk) > FailWriteAfterBytes) {
            errno = ENOSPC;
            return false;
        }
        const ssize_t w = ::write(fd, data + done, chunk);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(w);
        written_ += w;
    }
    return true;
}

int TSaveFile::CreateTemp(const std::string& baseName, std::string& tempName) {
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    // One generator per thread: files may be saved on several threads at once.
    thread_local std::mt19937_64 rng(std::random_device{}() ^ static_cast<uint64_t>(::getpid()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = "." + baseName + ".";
        uint64_t r = rng();
        for (int k = 0; k < 6; ++k, r /= 62) tempName += Letters[r % 62];
        const int fd = ::openat(dirFd_, tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool TSaveFile::CopyToBackupTemp(std::string& why) {
    auto failed = [&](int err) {
        why = std::strerror(err);
        return false;
    };
    const int in = ::open(target_.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return failed(errno);
    const int out = CreateTemp(fs::path(backup_).filename().string(), backupTemp_);
    if (out < 0) {
        const int err = errno;
        backupTemp_.clear();
        ::close(in);
        return failed(err);
    }
    // The copy has the permissions of the file it copies.
    ::fchmod(out, mode_);
    std::vector<char> block(1 << 20);
    int err = 0;
    for (;;) {
        const ssize_t r = ::read(in, block.data(), block.size());
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) err = errno;
        if (r <= 0) break;
        if (!WriteAll(out, block.data(), static_cast<std::size_t>(r))) {
            err = errno;
            break;
        }
    }
    ::close(in);
    if (err == 0 && ::fsync(out) != 0) err = errno;
    if (::close(out) != 0 && err == 0) err = errno;
    return err == 0 || failed(err);
}

bool TSaveFile::OpenForWrite(const std::string& fileName, const std::string& defaultExt,
                             const std::string& backupExt, const std::string& defaultDir) {
    target_ = ResolveSaveName(fileName, defaultExt, defaultDir);
    if (target_.empty()) return Fail("no file name given", 0);
    // Saving through a link replaces the file it points to, not the link; a link to a file that does not
    // exist yet creates that file. The hops are bounded, as a loop of links never ends.
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(target_, ec); ++hops) {
        const fs::path link = fs::read_symlink(target_, ec);
        if (ec) break;
        target_ = (link.is_absolute() ? link : fs::path(target_).parent_path() / link).string();
    }
    struct stat st {};
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return Fail("cannot save to " + target_ + ": it is a directory", 0);
    if (exists && !S_ISREG(st.st_mode)) return Fail("cannot save to " + target_ + ": not a regular file", 0);
    if (!exists && errno != ENOENT) return Fail("cannot save to " + target_, errno);
    fs::path dir = fs::path(target_).parent_path();
    if (dir.empty()) dir = ".";
    dirFd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0) return Fail("cannot save to " + target_, errno);
    if (exists) {
        if (::access(target_.c_str(), W_OK) != 0) return Fail("cannot save to " + target_, errno);
    }
    // The backup copy is made when the new content is complete (Commit), so that a failed save replaces
    // neither the file nor an older backup.
    if (exists && !backupExt.empty()) backup_ = BackupName(target_, backupExt);
    fd_ = CreateTemp(fs::path(target_).filename().string(), temp_);
    if (fd_ < 0) {
        temp_.clear();
        return Fail("cannot save to " + target_, errno);
    }
    // A replaced file keeps its permissions, and its backup has them too; a new one gets what the user's
    // umask allows, as any created file.
    mode_ = st.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode_ = 0666 & ~mask;
    }
    ::fchmod(fd_, mode_);
    buffer_.reserve(1 << 20);
    return true;
}

bool TSaveFile::Flush() {
    const bool ok = WriteAll(fd_, buffer_.data(), buffer_.size());
    const int err = errno;
    buffer_.clear();
    return ok || Fail("cannot write " + target_, err);
}

bool TSaveFile::Write(const char* data, std::size_t size) {
    if (fd_ < 0) return false;
    buffer_.append(data, size);
    return buffer_.size() < (1 << 20) || Flush();
}

bool TSaveFile::Commit() {
    if (fd_ < 0) return false;
    if (!Flush()) return false;
    if (::fsync(fd_) != 0) return Fail("cannot write " + target_, errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail("cannot write " + target_, errno);
    // The new content is complete; then the backup copy of the old one, and only when both are written do
    // they replace the old backup and the file. Renamed onto the paths as named: a directory moved away
    // meanwhile makes the save fail (and the temporary files are removed from where they went) rather than
    // put the content where the user did not ask for it.
    if (!backup_.empty()) {
        std::string why;
        if (!CopyToBackupTemp(why))
            return Fail("cannot save to " + target_ + ": no backup copy " + backup_ + ": " + why, 0);
        if (::renameat(dirFd_, backupTemp_.c_str(), AT_FDCWD, backup_.c_str()) != 0)
            return Fail("cannot save to " + target_ + ": no backup copy " + backup_, errno);
        backupTemp_.clear();
    }
    if (::renameat(dirFd_, temp_.c_str(), AT_FDCWD, target_.c_str()) != 0)
        return Fail("cannot replace " + target_, errno);
    temp_.clear();
    return true;
}

} // namespace curvefile
