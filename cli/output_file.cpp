#include "cli/output_file.h"

#include "cli/cli_environment.h"
#include "cli/usage.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <ostream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pandicube {

namespace {

std::string Reason()
{
    return errno != 0 ? std::strerror(errno) : "unknown error";
}

// One line on `err`; returns `status` (2: refused, 3: cannot be written).
int RefuseFile(std::ostream& err, const std::string& command, const std::string& message, int status = 2)
{
    Say(err) << command << message << '\n';
    return status;
}

constexpr const char* kOwned = " is being written by another pandicube-search (a run or resume of the same output); "
                               "wait for it to end or stop it";

} // namespace

DescriptorBuffer::DescriptorBuffer(int fd) : fd_(fd)
{
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

bool DescriptorBuffer::Drain()
{
    const char* from = pbase();
    while (from < pptr()) {
        const ssize_t n = ::write(fd_, from, static_cast<std::size_t>(pptr() - from));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        from += n;
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return true;
}

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type c)
{
    if (!Drain()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

std::streamsize DescriptorBuffer::xsputn(const char* data, std::streamsize count)
{
    std::streamsize done = 0;
    while (done < count) {
        if (pptr() == epptr() && !Drain()) return done;
        const std::streamsize n = std::min<std::streamsize>(count - done, epptr() - pptr());
        std::memcpy(pptr(), data + done, static_cast<std::size_t>(n));
        pbump(static_cast<int>(n));
        done += n;
    }
    return done;
}

int DescriptorBuffer::sync()
{
    return Drain() ? 0 : -1;
}

OwnedFile::~OwnedFile()
{
    Close();
}

int OwnedFile::Take(const std::string& path, bool create, std::ostream& err, const std::string& command)
{
    Close();
    // A link, a FIFO or a device at the name is never opened for writing:
    // O_NOFOLLOW refuses a link, O_NONBLOCK keeps a FIFO from blocking.
    struct stat named {};
    const bool exists = ::lstat(path.c_str(), &named) == 0;
    if (exists && S_ISDIR(named.st_mode)) return RefuseFile(err, command, path + " is a directory");
    if (exists && !S_ISREG(named.st_mode))
        return RefuseFile(err, command, path + " is not a regular file (a link, a device or a FIFO)");
    errno = 0;
    const int flags = (create ? O_WRONLY | O_CREAT : O_RDWR) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
        if (errno == ELOOP || errno == ENXIO)
            return RefuseFile(err, command, path + " is not a regular file (a link, a device or a FIFO)");
        if (create) return RefuseFile(err, command, "cannot write " + path + ": " + Reason(), 3);
        return RefuseFile(err, command, "cannot open " + path + ": " + Reason());
    }
    fd_ = fd;
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        Close();
        return RefuseFile(err, command, path + " is not a regular file (a link, a device or a FIFO)");
    }
    if (opened.st_nlink > 1) {
        Close();
        return RefuseFile(err, command, path + " has other names (hard links); it is not written through them");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool owned = errno == EWOULDBLOCK;
        const std::string reason = Reason();
        Close();
        if (owned) return RefuseFile(err, command, path + kOwned);
        return RefuseFile(err, command, "cannot lock " + path + ": " + reason, 3);
    }
    // The owner that held the lock may have renamed the file away (its run
    // completed) between our open and our lock: then this name is no longer
    // the file locked.
    struct stat now {};
    if (::lstat(path.c_str(), &now) != 0 || now.st_dev != opened.st_dev || now.st_ino != opened.st_ino) {
        Close();
        return RefuseFile(err, command, path + kOwned);
    }
    // (Only a file that holds something is emptied: a file truncated to
    // nothing is flushed to the disk by some file systems when it is closed,
    // which would keep a stopped run from ending at once.)
    if (create && now.st_size > 0 && ::ftruncate(fd, 0) != 0) {
        const std::string reason = Reason();
        Close();
        return RefuseFile(err, command, "cannot write " + path + ": " + reason, 3);
    }
    ::lseek(fd, 0, SEEK_END);
    buffer_ = std::make_unique<DescriptorBuffer>(fd);
    stream_.rdbuf(buffer_.get());
    stream_.clear();
    return 0;
}

bool OwnedFile::Shorten(std::uint64_t size)
{
    if (!Flush()) return false;
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return false;
    return ::lseek(fd_, 0, SEEK_END) >= 0;
}

bool OwnedFile::Flush()
{
    errno = 0;
    stream_.flush();
    return stream_.good();
}

bool OwnedFile::SyncToDisk()
{
    return Flush() && ::fsync(fd_) == 0;
}

void OwnedFile::Close()
{
    if (fd_ < 0) return;
    // As a file stream's destructor: what is still buffered is written.
    stream_.flush();
    stream_.rdbuf(nullptr);
    buffer_.reset();
    ::close(fd_);
    fd_ = -1;
}

int OutputFile::CheckName(const std::string& path, std::ostream& err, const std::string& command)
{
    if (path.empty()) return RefuseFile(err, command, "--output needs a file name");
    if (path == "-")
        return RefuseFile(err, command,
                          "--output - would name a file -; leave out --output to write to standard output");
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            return RefuseFile(err, command,
                              "--output: " + path + " is a symbolic link; give the file it names, or remove the link");
        }
        if (S_ISDIR(st.st_mode)) return RefuseFile(err, command, "--output: " + path + " is a directory");
        if (!S_ISREG(st.st_mode))
            return RefuseFile(err, command, "--output: " + path + " is not a regular file (a device or a FIFO)");
    }
    const std::string part = PartPath(path);
    // The run is written to NAME.part first: a NAME that fits but whose
    // NAME.part does not would fail only after the search.
    const std::filesystem::path partName(part);
    const std::string folder = partName.has_parent_path() ? partName.parent_path().string() : ".";
    const long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    const auto nameLength = static_cast<long>(partName.filename().string().size());
    if (nameLength > (longest > 0 ? longest : NAME_MAX) || part.size() >= PATH_MAX) {
        return RefuseFile(err, command,
                          "--output: " + path + " is too long a name: the run is written to " + part +
                              " first, which the folder cannot hold; give a shorter name");
    }
    if (::lstat(part.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return RefuseFile(err, command, part + " is not a regular file (a link, a device or a FIFO); remove it");
    return 0;
}

int OutputFile::Open(std::ostream& err, const std::string& command)
{
    if (const int status = CheckName(path_, err, command); status != 0) return status;
    return file_.Take(part_, true, err, command);
}

bool OutputFile::Commit(std::ostream& err, const std::string& command)
{
    // The file is renamed while this process still owns it.
    const bool done = file_.SyncToDisk() && RenameDurably(file_.Descriptor(), part_, path_);
    if (!done) Say(err) << command << "cannot write " << path_ << ": " << Reason() << '\n';
    file_.Close();
    return done;
}

void OutputFile::Discard()
{
    file_.Close();
    ::unlink(part_.c_str());
}

bool RenameDurably(int fd, const std::string& from, const std::string& to)
{
    errno = 0;
    if (::fsync(fd) != 0 || std::rename(from.c_str(), to.c_str()) != 0) return false;
    const std::filesystem::path name(to);
    const std::string folder = name.has_parent_path() ? name.parent_path().string() : ".";
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return false;
    const bool synced = ::fsync(dir) == 0;
    ::close(dir);
    return synced;
}

std::optional<std::string> WriteWholeFile(const std::string& path, std::string_view bytes)
{
    std::string temporary = path + ".XXXXXX";
    errno = 0;
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return "cannot write " + path + ": " + Reason();
    const auto fail = [&] {
        const std::string reason = "cannot write " + path + ": " + Reason();
        ::close(fd);
        ::unlink(temporary.c_str());
        return reason;
    };
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return fail();
        }
        done += static_cast<std::size_t>(n);
    }
    // A picture's permissions, as a file that is simply created gets them.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0 || !RenameDurably(fd, temporary, path)) return fail();
    ::close(fd);
    return std::nullopt;
}

bool SameFile(const std::string& a, const std::string& b)
{
    if (a == b) return true;
    struct stat sa {};
    struct stat sb {};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    // Names of files that do not exist yet: the same once made absolute.
    std::error_code ec;
    const auto ca = std::filesystem::weakly_canonical(std::filesystem::absolute(a, ec), ec);
    if (ec) return false;
    const auto cb = std::filesystem::weakly_canonical(std::filesystem::absolute(b, ec), ec);
    return !ec && ca == cb;
}

std::istream* OpenInput(const std::string& file, const CliEnvironment& env, std::unique_ptr<std::istream>& owned,
                        std::ostream& err, const char* command)
{
    if (file == "-") return env.in != nullptr ? env.in : &std::cin;
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) {
        Say(err) << command << ": " << file << " is a directory\n";
        return nullptr;
    }
    errno = 0;
    auto stream = std::make_unique<std::ifstream>(file, std::ios::binary);
    if (!stream->is_open()) {
        Say(err) << command << ": cannot open " << file << ": " << (errno != 0 ? std::strerror(errno) : "unknown error")
                 << '\n';
        return nullptr;
    }
    owned = std::move(stream);
    return owned.get();
}

} // namespace pandicube
