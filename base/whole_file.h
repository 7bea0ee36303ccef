#pragma once

// Output files written whole or not at all. The bytes go to a new file beside
// the target, which replaces the target only once every write, the flush, the
// sync and the close have succeeded; on any failure the previous file is left
// as it was and the reason is returned. A path that exists but is not a regular file
// (a folder, a device such as /dev/null, a pipe) is refused, never replaced.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QSaveFile;

namespace tavelo {

// The bytes of a whole file (a regular file, a pipe, /dev/stdin); nothing
// when it is missing, a folder, or cannot be read to its end.
std::optional<std::string> readWholeFile(const std::filesystem::path &path);

// Synced goes through QSaveFile, which waits until the bytes are on the disk
// before the file replaces the old one; Unsynced skips that wait (a batch's
// thousands of small logs, cheap to redo, where a sync each would dominate).
enum class Durability { Synced, Unsynced };

// Why the file could not be written ("No space left on device"); nothing on success.
std::optional<std::string> writeWholeFile(const std::filesystem::path &path, std::string_view bytes,
                                          Durability durability = Durability::Synced);

// The same for a file produced in pieces: write() as often as needed, then
// commit(). Nothing is visible under the target's name before commit(); a
// writer destroyed without commit() leaves no trace.
class WholeFileWriter {
public:
    explicit WholeFileWriter(std::filesystem::path path, Durability durability = Durability::Synced);
    ~WholeFileWriter();
    WholeFileWriter(const WholeFileWriter &) = delete;
    WholeFileWriter &operator=(const WholeFileWriter &) = delete;

    // False when the file cannot be started; error() says why.
    bool open();
    // Failures are remembered and reported by commit().
    void write(std::string_view bytes);
    bool commit();
    void discard();
    // The first failure's reason, empty while none happened.
    const std::string &error() const { return error_; }

private:
    bool flushBuffer();
    bool openSaveFile();
    void failSaveFile();
    void fail(int errorNumber);

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    Durability durability_;
    std::unique_ptr<QSaveFile> saveFile_; // Synced
    int fd_ = -1;
    std::string buffer_;
    std::string error_;
};

// Why `path` cannot receive an output file: it exists and is not a regular file
// (or a link to one). Nothing when it can.
std::optional<std::string> unusableOutputPath(const std::filesystem::path &path);

// Whether two paths name the same file, also when it does not exist yet
// ("out/../l.txt" and "l.txt", or a link and its target).
bool sameFile(const std::filesystem::path &a, const std::filesystem::path &b);

// The text of a system error number, safe to call from any thread.
std::string systemErrorText(int errorNumber);

} // namespace tavelo
