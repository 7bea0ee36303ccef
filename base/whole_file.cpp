#include "whole_file.h"

#include <QSaveFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavelo {

std::optional<std::string> readWholeFile(const std::filesystem::path &path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes;
    try {
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::ios_base::failure &) {
        return std::nullopt;
    }
    if (in.bad())
        return std::nullopt;
    return bytes;
}

namespace fs = std::filesystem;

namespace {

constexpr size_t kBufferSize = 1 << 16;

// The file the name stands for: a link is followed so that the link stays.
fs::path resolvedTarget(const fs::path &path)
{
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        const fs::path resolved = fs::weakly_canonical(path, ec);
        if (!ec)
            return resolved;
    }
    return path;
}

} // namespace

std::string systemErrorText(int errorNumber)
{
    char buffer[256];
    // The GNU variant returns the text, which may or may not be in the buffer.
    return strerror_r(errorNumber, buffer, sizeof buffer);
}

std::optional<std::string> unusableOutputPath(const fs::path &path)
{
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status) || fs::is_regular_file(status))
        return std::nullopt;
    if (fs::is_directory(status))
        return std::string("it is a folder");
    return std::string("it is not a regular file");
}

bool sameFile(const fs::path &a, const fs::path &b)
{
    std::error_code ea, eb;
    if (fs::exists(a, ea) && fs::exists(b, eb))
        return fs::equivalent(a, b, ea) && !ea;
    const fs::path ca = fs::weakly_canonical(fs::absolute(a, ea), ea);
    const fs::path cb = fs::weakly_canonical(fs::absolute(b, eb), eb);
    return !ea && !eb && ca == cb;
}

WholeFileWriter::WholeFileWriter(fs::path path, Durability durability)
    : target_(resolvedTarget(path)), durability_(durability)
{
}

WholeFileWriter::~WholeFileWriter()
{
    discard();
}

void WholeFileWriter::fail(int errorNumber)
{
    if (error_.empty())
        error_ = systemErrorText(errorNumber);
}

bool WholeFileWriter::open()
{
    if (auto why = unusableOutputPath(target_)) {
        error_ = *why;
        return false;
    }
    if (durability_ == Durability::Synced)
        return openSaveFile();
    // A new file keeps the permissions the user's umask gives; a replaced one
    // keeps its own.
    struct stat old {};
    const bool replacing = ::stat(target_.c_str(), &old) == 0;
    const mode_t mode = replacing ? (old.st_mode & 07777) : 0666;

    std::random_device random;
    const fs::path folder = target_.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Appended piece by piece: GCC 12 warns falsely about "." + text when optimising.
        std::string name = ".";
        name += target_.filename().string();
        name += ".part-";
        name += std::to_string(random());
        temporary_ = folder / name;
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd_ >= 0 || errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        fail(errno);
        temporary_.clear();
        return false;
    }
    if (replacing && ::fchmod(fd_, mode) != 0) {
        fail(errno);
        discard();
        return false;
    }
    buffer_.reserve(kBufferSize);
    return true;
}

bool WholeFileWriter::openSaveFile()
{
    saveFile_ = std::make_unique<QSaveFile>(QString::fromStdString(target_.string()));
    // Writing straight into the target would lose the old file on a failure.
    saveFile_->setDirectWriteFallback(false);
    if (!saveFile_->open(QIODevice::WriteOnly)) {
        error_ = saveFile_->errorString().toStdString();
        saveFile_.reset();
        return false;
    }
    return true;
}

void WholeFileWriter::failSaveFile()
{
    // Read first: Qt's own text of a failed flush or commit is often just
    // "Unknown error", while the system's reason is still in errno.
    const int systemError = errno;
    if (error_.empty())
        error_ = saveFile_->errorString().toStdString();
    if ((error_.empty() || error_ == "Unknown error") && systemError != 0)
        error_ = systemErrorText(systemError);
    if (error_.empty())
        error_ = "the file could not be written";
}

bool WholeFileWriter::flushBuffer()
{
    size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
            buffer_.clear();
            return false;
        }
        done += static_cast<size_t>(n);
    }
    buffer_.clear();
    return true;
}

void WholeFileWriter::write(std::string_view bytes)
{
    if (saveFile_) {
        if (!error_.empty())
            return;
        const auto size = static_cast<qint64>(bytes.size());
        errno = 0;
        if (saveFile_->write(bytes.data(), size) != size)
            failSaveFile();
        return;
    }
    if (fd_ < 0 || !error_.empty())
        return;
    if (buffer_.size() + bytes.size() > kBufferSize && !flushBuffer())
        return;
    if (bytes.size() >= kBufferSize) {
        buffer_.assign(bytes);
        flushBuffer();
        return;
    }
    buffer_.append(bytes);
}

bool WholeFileWriter::commit()
{
    if (saveFile_) {
        // QSaveFile buffers: a full disk may show only when the buffer is
        // flushed, and commit() does not report that flush's failure itself.
        errno = 0;
        bool ok = error_.empty() && saveFile_->flush();
        if (ok && !saveFile_->commit())
            ok = false;
        if (!ok) {
            failSaveFile();
            saveFile_->cancelWriting();
        }
        saveFile_.reset();
        return ok;
    }
    if (fd_ < 0) {
        if (error_.empty())
            error_ = "the file was not opened";
        return false;
    }
    // Every step is checked: a full disk often shows only at the last write,
    // the sync or the close.
    bool ok = error_.empty() && flushBuffer();
    if (ok && durability_ == Durability::Synced && ::fsync(fd_) != 0) {
        fail(errno);
        ok = false;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && ok) {
        fail(errno);
        ok = false;
    }
    if (ok && ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        fail(errno);
        ok = false;
    }
    if (!ok)
        ::unlink(temporary_.c_str());
    temporary_.clear();
    return ok;
}

void WholeFileWriter::discard()
{
    if (saveFile_) {
        // Destroyed without commit(), QSaveFile removes its temporary file.
        saveFile_->cancelWriting();
        saveFile_.reset();
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    buffer_.clear();
}

std::optional<std::string> writeWholeFile(const fs::path &path, std::string_view bytes, Durability durability)
{
    WholeFileWriter writer(path, durability);
    if (!writer.open())
        return writer.error();
    writer.write(bytes);
    if (!writer.commit())
        return writer.error();
    return std::nullopt;
}

} // namespace tavelo
