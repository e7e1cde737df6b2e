// A folder where saving goes wrong in one of the ways a user meets: the disk is full, the folder is
// read-only, the folder is gone, or the name given is that of a folder. Used by the tests of every save
// (curve files, the function library, preferences, pictures) in the desktop program and graphmill-cli.
//
// A full disk is a small memory file system filled up, where the machine lets the tests mount one; else the
// size of files this process (and the programs it starts) may write is limited to a few bytes, so that
// every write fails as on a full disk. A read-only folder is such a file system mounted read-only, or for a
// user other than root, a folder without write permission.
#pragma once

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

enum class TFault { FullDisk, ReadOnly, Vanished, Directory };

inline const char* FaultName(TFault f) {
    switch (f) {
    case TFault::FullDisk:
        return "full disk";
    case TFault::ReadOnly:
        return "read-only folder";
    case TFault::Vanished:
        return "folder gone";
    case TFault::Directory:
        return "name of a folder";
    }
    return "";
}

class TFaultPlace {
public:
    // The file `name` in a new folder under base, holding `before` (except when the folder is gone).
    TFaultPlace(TFault fault, const std::filesystem::path& base, const std::string& name,
                const std::string& before)
        : fault_(fault), dir_(base / ("fault-" + std::to_string(static_cast<int>(fault)) + "-" + name)),
          target_(dir_ / name), before_(before) {
        namespace fs = std::filesystem;
        fs::create_directories(dir_);
        const bool small = (fault == TFault::FullDisk || fault == TFault::ReadOnly) &&
                           ::mount("tmpfs", dir_.c_str(), "tmpfs", 0, "size=256k") == 0;
        mounted_ = small;
        switch (fault) {
        case TFault::FullDisk:
            Write(target_, before);
            if (mounted_) {
                // Filled to the last block: no new file content fits.
                std::ofstream filler(dir_ / "filler", std::ios::binary);
                const std::string block(4096, 'x');
                while (filler.write(block.data(), std::streamsize(block.size())) && filler.flush()) {
                }
            } else {
                std::signal(SIGXFSZ, SIG_IGN);
                ::getrlimit(RLIMIT_FSIZE, &limit_);
                const rlimit tiny{16, limit_.rlim_max};
                limited_ = ::setrlimit(RLIMIT_FSIZE, &tiny) == 0;
            }
            ready_ = mounted_ || limited_;
            break;
        case TFault::ReadOnly:
            Write(target_, before);
            if (mounted_)
                ready_ = ::mount("tmpfs", dir_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=256k") == 0;
            else if (::geteuid() != 0) // permissions do not stop root
                ready_ = (fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec), true);
            break;
        case TFault::Vanished:
            fs::remove_all(dir_);
            ready_ = true;
            break;
        case TFault::Directory:
            fs::create_directory(target_);
            Write(target_ / "inside.dat", before);
            ready_ = true;
            break;
        }
        listing_ = Listing();
    }
    ~TFaultPlace() {
        namespace fs = std::filesystem;
        if (limited_) ::setrlimit(RLIMIT_FSIZE, &limit_);
        if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    TFaultPlace(const TFaultPlace&) = delete;
    TFaultPlace& operator=(const TFaultPlace&) = delete;

    // False when this machine cannot make the fault (a read-only folder for root without mounting).
    bool Ready() const { return ready_; }
    const std::filesystem::path& Target() const { return target_; }
    const std::filesystem::path& Dir() const { return dir_; }

    // The file (or the folder of that name) holds what it held, and no other file appeared or went away but
    // a backup copy of it (a curve save keeps one before it writes).
    bool Intact() const {
        if (fault_ == TFault::Vanished) return !std::filesystem::exists(dir_);
        const auto held = fault_ == TFault::Directory ? target_ / "inside.dat" : target_;
        std::set<std::string> now = Listing();
        for (auto it = now.begin(); it != now.end();)
            it = listing_.count(*it) == 0 && it->ends_with(".bak") && Read(dir_ / *it) == before_
                     ? now.erase(it)
                     : ++it;
        return Read(held) == before_ && now == listing_;
    }

private:
    static std::string Read(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void Write(const std::filesystem::path& p, const std::string& text) {
        std::ofstream(p, std::ios::binary).write(text.data(), std::streamsize(text.size()));
    }
    std::set<std::string> Listing() const {
        std::set<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(dir_, ec)) names.insert(e.path().filename());
        return names;
    }

    TFault fault_;
    std::filesystem::path dir_, target_;
    std::string before_;
    std::set<std::string> listing_;
    bool ready_ = false, mounted_ = false, limited_ = false;
    rlimit limit_{};
};

constexpr TFault AllFaults[] = {TFault::FullDisk, TFault::ReadOnly, TFault::Vanished, TFault::Directory};
