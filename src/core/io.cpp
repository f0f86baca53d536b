#include "core/io.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/failure.hpp"

namespace core {

namespace {

constexpr std::size_t output_buffer = 1 << 20;

// Temporary files not yet renamed into place, so that a run ended by a
// signal (Ctrl-C, a kill from a script) removes them on its way out. Fixed
// storage, since the handler may only call async-signal-safe functions.
constexpr int max_pending = 4;
constexpr std::size_t max_pending_path = 4096;
char pending_path[max_pending][max_pending_path];
volatile std::sig_atomic_t pending_used[max_pending];

extern "C" void remove_pending_and_die(int sig) {
    for (int i = 0; i < max_pending; ++i)
        if (pending_used[i]) ::unlink(pending_path[i]);
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

int add_pending(const std::string& path) {
    static bool handlers = false;
    if (!handlers) {
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
            struct sigaction sa {};
            sa.sa_handler = remove_pending_and_die;
            sigemptyset(&sa.sa_mask);
            struct sigaction old {};
            // A signal the caller chose to ignore stays ignored.
            if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
            ::sigaction(sig, &sa, nullptr);
        }
        handlers = true;
    }
    if (path.size() >= max_pending_path) return -1;
    for (int i = 0; i < max_pending; ++i) {
        if (pending_used[i]) continue;
        std::memcpy(pending_path[i], path.c_str(), path.size() + 1);
        pending_used[i] = 1;
        return i;
    }
    return -1;
}

void drop_pending(int slot) {
    if (slot >= 0) pending_used[slot] = 0;
}

std::string system_error(const std::string& what, const std::string& name) {
    return what + " " + name + ": " + std::strerror(errno);
}

std::size_t page_size() {
    static const long page = ::sysconf(_SC_PAGESIZE);
    return page > 0 ? static_cast<std::size_t>(page) : 4096;
}

}  // namespace

line_reader::line_reader(int fd, std::string name, std::size_t buffer_size, std::size_t map_window)
    : fd_(fd), name_(std::move(name)), buffer_size_(buffer_size > 0 ? buffer_size : 1) {
    struct stat st;
    if (map_window == 0 || fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
    off_t at = ::lseek(fd, 0, SEEK_CUR);
    // A file that claims no bytes past the offset (an empty file, or one of
    // /proc, whose size says nothing) is left to read(2).
    if (at < 0 || st.st_size <= at) return;
    std::size_t p = page_size();
    map_window_ = (map_window + p - 1) / p * p;
    mapping_ = true;
    map_position_ = static_cast<std::uint64_t>(at);
    map_end_ = static_cast<std::uint64_t>(st.st_size);
}

line_reader line_reader::from_text(std::string_view text, std::string name) {
    line_reader r(-1, std::move(name), 1, 0);  // the text replaces the buffer
    r.buf_.assign(text.begin(), text.end());
    r.end_ = r.buf_.size();
    r.eof_ = true;
    return r;
}

line_reader::line_reader(line_reader&& o) noexcept
    : fd_(o.fd_), name_(std::move(o.name_)), buf_(std::move(o.buf_)), buffer_size_(o.buffer_size_),
      begin_(o.begin_), end_(o.end_), eof_(o.eof_), line_number_(o.line_number_), held_(std::move(o.held_)),
      mapping_(o.mapping_), map_(o.map_), map_length_(o.map_length_), map_skip_(o.map_skip_),
      map_window_(o.map_window_), map_position_(o.map_position_), map_end_(o.map_end_) {
    o.map_ = nullptr;
    o.mapping_ = false;
}

line_reader::~line_reader() {
    if (map_) {
        // Leave the descriptor's offset after the lines handed out, as
        // reading them would have moved it (a script's next command may
        // read on from there).
        ::lseek(fd_, static_cast<off_t>(map_position_ + map_skip_ + begin_), SEEK_SET);
        unmap();
    }
}

void line_reader::unmap() {
    if (map_) ::munmap(const_cast<char*>(map_), map_length_);
    map_ = nullptr;
}

void line_reader::start_reading(std::uint64_t position) {
    // The rest of the file (what grew after reading began, or all of it
    // when mapping is refused) comes through read(2) from here.
    unmap();
    mapping_ = false;
    if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) throw failure(system_error("cannot read", name_));
    begin_ = end_ = 0;
}

bool line_reader::next_window() {
    // Every byte of the window has been handed out or kept in held_; the
    // next window starts at the page that holds the next byte.
    std::uint64_t next = map_ ? map_position_ + map_skip_ + end_ : map_position_;
    if (next >= map_end_) {
        start_reading(next);
        return false;
    }
    unmap();
    std::uint64_t page_start = next / page_size() * page_size();
    std::uint64_t length = map_end_ - page_start < map_window_ ? map_end_ - page_start : map_window_;
    void* m = ::mmap(nullptr, static_cast<std::size_t>(length), PROT_READ, MAP_PRIVATE, fd_,
                     static_cast<off_t>(page_start));
    if (m == MAP_FAILED) {
        start_reading(next);
        return false;
    }
    ::madvise(m, static_cast<std::size_t>(length), MADV_SEQUENTIAL);
    map_ = static_cast<const char*>(m);
    map_length_ = static_cast<std::size_t>(length);
    map_position_ = page_start;
    map_skip_ = static_cast<std::size_t>(next - page_start);
    begin_ = 0;
    end_ = map_length_ - map_skip_;
    return true;
}

bool line_reader::fill() {
    if (eof_) return false;
    if (mapping_) {
        if (next_window()) return true;
        // Mapping has ended; read(2) takes over below.
    }
    if (buf_.size() != buffer_size_) buf_.resize(buffer_size_);
    if (begin_ > 0) {
        std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buf_.size()) return true;  // caller drains before refilling
    for (;;) {
        ssize_t n = ::read(fd_, buf_.data() + end_, buf_.size() - end_);
        if (n > 0) {
            end_ += static_cast<std::size_t>(n);
            return true;
        }
        if (n == 0) {
            eof_ = true;
            return false;
        }
        if (errno == EINTR) continue;
        throw failure(system_error("cannot read", name_));
    }
}

bool line_reader::next(std::string_view& line, std::size_t keep) {
    held_.clear();
    bool partial = false;      // the start of the line is already in held_
    std::size_t total = 0;     // bytes of the line seen so far
    char last = '\0';          // its last byte so far
    for (;;) {
        const char* start = data() + begin_;
        std::size_t avail = end_ - begin_;
        const void* lf = avail ? std::memchr(start, '\n', avail) : nullptr;
        std::size_t len = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) : avail;
        if (lf && !partial) {
            // The common case: the whole line lies in the buffer.
            begin_ += len + 1;
            ++line_number_;
            if (len > 0 && start[len - 1] == '\r') --len;
            line = std::string_view(start, len < keep ? len : keep);
            return true;
        }
        if (lf || (avail > 0 && (mapping_ || end_ == buf_.size() || eof_ || partial))) {
            // Keep what the line still needs of this piece and move on. Once
            // a line has crossed a refill, every piece of it is taken at
            // once: a piece left in the buffer when the input then ends
            // would otherwise come back as a line of its own. A line that
            // runs past the end of a mapped window is taken the same way.
            if (held_.size() < keep) held_.append(start, std::min(len, keep - held_.size()));
            if (len > 0) last = start[len - 1];
            total += len;
            partial = true;
            begin_ += lf ? len + 1 : len;
        }
        if (lf || (!fill() && partial)) {
            ++line_number_;
            if (total > 0 && total <= keep && last == '\r') held_.pop_back();
            line = held_;
            return true;
        }
        if (eof_ && !partial && end_ == begin_) return false;
    }
}

out_stream::out_stream(int fd, std::string name)
    : fd_(fd), name_(std::move(name)), buf_(output_buffer) {}

out_stream::~out_stream() = default;

void out_stream::write(std::string_view bytes) {
    while (!bytes.empty()) {
        if (used_ == buf_.size()) drain();
        std::size_t n = std::min(bytes.size(), buf_.size() - used_);
        std::memcpy(buf_.data() + used_, bytes.data(), n);
        used_ += n;
        bytes.remove_prefix(n);
    }
}

void out_stream::drain() {
    std::size_t done = 0;
    while (done < used_) {
        ssize_t n = ::write(fd_, buf_.data() + done, used_ - done);
        if (n >= 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (errno == EINTR) continue;
        used_ = 0;  // nothing more is tried on this stream
        throw failure(system_error("cannot write", name_));
    }
    used_ = 0;
}

void out_stream::flush() { drain(); }

out_stream& standard_output() {
    static out_stream out(1, "standard output");
    return out;
}

void finish_output() {
    out_stream& out = standard_output();
    out.flush();
    if (::close(1) != 0 && errno != EBADF)
        throw failure(system_error("cannot write", out.name()));
}

replacement_file::replacement_file(std::string target) : target_(std::move(target)) {
    // The temporary file lies in the target's own directory, so the final
    // rename never crosses file systems.
    std::string::size_type slash = target_.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    std::string pattern = dir + "." + base.substr(0, 200) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) throw failure(system_error("cannot create", target_));
    temp_.assign(name.data());
    pending_ = add_pending(temp_);
    // mkstemp makes the file private; a finished table should have the
    // permissions an ordinary created file gets.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    out_ = new out_stream(fd, target_);
}

replacement_file::~replacement_file() {
    if (out_) {
        ::close(out_->fd());
        delete out_;
    }
    if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
    drop_pending(pending_);
}

void replacement_file::write_at(std::string_view bytes, std::uint64_t offset) {
    const std::uint64_t start = offset;
    const std::size_t length = bytes.size();
    const int fd = out_->fd();
    {
        std::lock_guard<std::mutex> hold(write_lock_);
        if (!write_error_.empty()) throw failure(write_error_);
        while (!bytes.empty()) {
            ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
            if (n >= 0) {
                bytes.remove_prefix(static_cast<std::size_t>(n));
                offset += static_cast<std::uint64_t>(n);
                continue;
            }
            if (errno == EINTR) continue;
            write_error_ = system_error("cannot write", target_);
            throw failure(write_error_);
        }
    }
#if defined(__linux__)
    // Start writing the block to the device now, while the run goes on, so
    // that the sync before the rename has little left to wait for. Only a
    // hint: whatever it reports, the sync checks the data.
    ::sync_file_range(fd, static_cast<off_t>(start), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
#endif
}

namespace {

// Waits until the file's data are on the device. A file system that cannot
// sync (EINVAL) has nothing more to offer, and the run goes on.
bool synced(int fd) {
    while (::fsync(fd) != 0) {
        if (errno == EINTR) continue;
        return errno == EINVAL;
    }
    return true;
}

}  // namespace

void replacement_file::commit() {
    {
        std::lock_guard<std::mutex> hold(write_lock_);
        if (!write_error_.empty()) throw failure(write_error_);
    }
    out_->flush();
    int fd = out_->fd();
    delete out_;
    out_ = nullptr;
    // The data reach the device before the new name does: after a power cut
    // the name holds the old file or the new one, never an empty or partial
    // one, whatever the file system's delayed allocation does.
    if (!synced(fd)) {
        std::string message = system_error("cannot write", target_);
        ::close(fd);
        throw failure(message);
    }
    if (::close(fd) != 0) throw failure(system_error("cannot write", target_));
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        throw failure(system_error("cannot replace", target_));
    committed_ = true;
    drop_pending(pending_);
    pending_ = -1;
    // And the rename itself is on the device once the directory is synced.
    std::string::size_type slash = target_.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : target_.substr(0, slash + 1);
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) throw failure(system_error("cannot write", target_));
    bool ok = synced(dfd);
    std::string message = ok ? std::string() : system_error("cannot write", target_);
    ::close(dfd);
    if (!ok) throw failure(message);
}

}  // namespace core
