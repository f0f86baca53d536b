// Line input and checked, buffered output on file descriptors.
//
// `line_reader` hands out one line at a time without its line feed; a final
// line without a line feed is still a line, and one carriage return before
// the line feed is dropped so files with CRLF endings read like the rest.
// Only the first `keep` bytes of a line are kept: the rest is skipped while
// the line end is looked for, so a hostile line of any length costs no memory.
//
// `out_stream` buffers writes and checks every write(2), so a full device or
// a closed descriptor ends the run with a failure instead of a silent loss.
// `replacement_file` writes into a temporary file beside its target and only
// renames it over the target when `commit` is called: a failed run leaves
// any earlier file of that name as it was. A run ended by SIGINT, SIGTERM,
// SIGHUP or SIGQUIT removes its temporary files before it dies.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace core {

class line_reader {
public:
    // Reads from an open descriptor; `name` names the source in diagnostics.
    // `buffer_size` (1 MiB unless given) is the most read at once; the tests
    // and the fuzz targets make it small so lines cross buffer refills.
    line_reader(int fd, std::string name, std::size_t buffer_size = 1 << 20);
    // Reads one line held in memory (a command-line argument, a test text).
    static line_reader from_text(std::string_view text, std::string name);

    // The next line, at most `keep` bytes of it; false at end of input.
    bool next(std::string_view& line, std::size_t keep);

    // Number of the line last returned, counting from 1.
    long long line_number() const { return line_number_; }
    const std::string& name() const { return name_; }

private:
    bool fill();

    int fd_;
    std::string name_;
    std::vector<char> buf_;
    std::size_t begin_ = 0, end_ = 0;
    bool eof_ = false;
    long long line_number_ = 0;
    std::string held_;  // the kept part of a line that crossed a buffer refill
};

class out_stream {
public:
    out_stream(int fd, std::string name);
    ~out_stream();
    out_stream(const out_stream&) = delete;
    out_stream& operator=(const out_stream&) = delete;

    void write(std::string_view bytes);
    void put(char c) {
        if (used_ == buf_.size()) drain();
        buf_[used_++] = c;
    }
    // Room for `n` bytes written directly at the returned pointer; `advance`
    // then records how many were used. `n` must not exceed `capacity()`.
    char* reserve(std::size_t n) {
        if (buf_.size() - used_ < n) drain();
        return buf_.data() + used_;
    }
    void advance(std::size_t n) { used_ += n; }
    std::size_t capacity() const { return buf_.size(); }

    // Writes out everything buffered; a failed write is a `failure`.
    void flush();
    const std::string& name() const { return name_; }
    int fd() const { return fd_; }

private:
    void drain();

    int fd_;
    std::string name_;
    std::vector<char> buf_;
    std::size_t used_ = 0;
};

// Standard output of the run, flushed and checked by `finish_output`.
out_stream& standard_output();
// Flushes standard output and closes it, so that a write error the kernel
// reports late (a full pipe's reader gone, a full device) still fails the run.
void finish_output();

class replacement_file {
public:
    // Creates the temporary file beside `target`; a failure when the
    // directory does not exist or is not writable.
    explicit replacement_file(std::string target);
    // Removes the temporary file unless `commit` succeeded.
    ~replacement_file();
    replacement_file(const replacement_file&) = delete;
    replacement_file& operator=(const replacement_file&) = delete;

    out_stream& out() { return *out_; }
    // Flushes, closes and renames the temporary file over the target.
    void commit();
    const std::string& target() const { return target_; }

private:
    std::string target_;
    std::string temp_;
    out_stream* out_ = nullptr;
    bool committed_ = false;
    int pending_ = -1;  // slot of the temporary file among those a signal removes
};

}  // namespace core
