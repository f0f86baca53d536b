#include "core/io.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
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

}  // namespace

line_reader::line_reader(int fd, std::string name, std::size_t buffer_size)
    : fd_(fd), name_(std::move(name)), buf_(buffer_size > 0 ? buffer_size : 1) {}

line_reader line_reader::from_text(std::string_view text, std::string name) {
    line_reader r(-1, std::move(name), 1);  // the text replaces the buffer
    r.buf_.assign(text.begin(), text.end());
    r.end_ = r.buf_.size();
    r.eof_ = true;
    return r;
}

bool line_reader::fill() {
    if (eof_) return false;
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
        const char* start = buf_.data() + begin_;
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
        if (lf || (avail > 0 && (end_ == buf_.size() || eof_ || partial))) {
            // Keep what the line still needs of this piece and move on. Once
            // a line has crossed a refill, every piece of it is taken at
            // once: a piece left in the buffer when the input then ends
            // would otherwise come back as a line of its own.
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

void replacement_file::commit() {
    out_->flush();
    int fd = out_->fd();
    delete out_;
    out_ = nullptr;
    if (::close(fd) != 0) throw failure(system_error("cannot write", target_));
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        throw failure(system_error("cannot replace", target_));
    committed_ = true;
    drop_pending(pending_);
    pending_ = -1;
}

}  // namespace core
