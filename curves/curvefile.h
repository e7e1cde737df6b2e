// The pieces of the curve file that are useful on their own: number splitting, the written number form
// and the name rules of a save.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace curvefile {

// Most numbers taken from one line.
constexpr int MaxNumbersPerLine = 100;
// The "DATA" marker is looked for in this many lines at the start of a file.
constexpr int HeaderLines = 101;
// Characters of one written number.
constexpr int NumberWidth = 23;
// Bytes of one written data line: two numbers, a space and CR LF.
constexpr std::size_t LineWidth = 2 * NumberWidth + 3;

// Converts one token: optional sign, digits with an optional decimal point, optional exponent; the decimal
// separator is always the full stop. Tokens naming a non-finite value ("nan", "inf", "1e999") are not
// numbers; a value too small for a double becomes zero.
bool ConvertNumber(std::string_view token, double& value);

// The common number at the start of [p, end) (at most 19 digits, a short exponent; the decimal mark a point,
// or a comma with decimalComma) converted to the nearest double in the pass that finds its end: the position
// after it, or null when the text needs ConvertNumber (it is then not necessarily malformed).
const char* NumberPrefix(const char* p, const char* end, double& value, bool decimalComma = false);

// Splits a line into at most maxCount numbers (separators: comma, space, tab; each single separator ends a
// token; a token that does not convert is dropped). Returns how many were stored in out; dropped (when
// given) is set when a token that is not empty was dropped before the split ended.
int SplitNumbers(std::string_view line, double* out, int maxCount = MaxNumbersPerLine,
                 bool* dropped = nullptr);

// Writes the 23-character form of v (sign position, d.dddddddddddddd, E, exponent sign, 4 digits) to out.
void FormatNumber(double v, char* out);

// Writes one data line (LineWidth bytes): x, a space, y, CR LF.
void FormatLine(double x, double y, char* out);

// Number of leading lines to skip: the lines up to and including a line starting with "DATA" among the
// first 101 lines; 0 when there is none.
std::size_t HeaderSkip(std::string_view text, std::size_t& offset);

// Name rules of a save: default extension and directory applied to fileName.
std::string ResolveSaveName(const std::string& fileName, const std::string& defaultExt,
                            const std::string& defaultDir);
// The backup beside a file: its name cut at the first "." of the file name itself, plus backupExt.
std::string BackupName(const std::string& fileName, const std::string& backupExt);

// The program's own file routine behind a save: resolves the name and opens a temporary file beside the
// target for the new content. Commit, once the new content is completely written, copies an existing target
// into a second temporary file (its backup, with the target's permissions), and only when that is complete
// too renames the backup over the old backup and the new content over the target. A save that fails before
// then leaves the target and its old backup as they were; a writer destroyed without a successful Commit
// removes its temporary files.
class TSaveFile {
public:
    TSaveFile() = default;
    TSaveFile(const TSaveFile&) = delete;
    TSaveFile& operator=(const TSaveFile&) = delete;
    ~TSaveFile();

    // Returns false with Error() set when the target cannot be written. An empty backupExt keeps no backup.
    bool OpenForWrite(const std::string& fileName, const std::string& defaultExt,
                      const std::string& backupExt, const std::string& defaultDir);
    bool Write(const char* data, std::size_t size);
    bool Commit();
    const std::string& Error() const { return error_; }
    const std::string& TargetName() const { return target_; }

    // For tests: a write (of the backup copy or of the new content) fails for want of space once this many
    // bytes have been written in all (negative: never).
    static long long FailWriteAfterBytes;

private:
    bool Fail(const std::string& what, int err);
    // Writes all of data to fd, counting the bytes against FailWriteAfterBytes; errno tells why it failed.
    bool WriteAll(int fd, const char* data, std::size_t size);
    bool Flush();
    // Creates a new file under a hidden name beside the target (in dirFd_); -1 with errno on failure.
    int CreateTemp(const std::string& baseName, std::string& tempName);
    // Copies the target to a new temporary file (backupTemp_) with the target's permissions, synced.
    bool CopyToBackupTemp(std::string& why);

    // The target's directory: temporary files are created, removed and renamed through it, so that none is
    // left behind when the directory is moved or removed during a save.
    int dirFd_ = -1;
    int fd_ = -1;
    std::string target_;
    std::string temp_;       // name of the temporary file within dirFd_
    std::string backup_;     // the backup to make of the target ("" for none)
    std::string backupTemp_; // name of the backup's temporary file within dirFd_
    mode_t mode_ = 0;        // permissions of the target (of the new file: as the umask allows)
    std::string error_;
    std::string buffer_;
    long long written_ = 0;
};

} // namespace curvefile
