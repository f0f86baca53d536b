// Line input and checked, buffered output on file descriptors.
//
// `line_reader` hands out one line at a time without its line feed; a final
// line without a line feed is still a line, and one carriage return before
// the line feed is dropped so files with CRLF endings read like the rest.
// Only the first `keep` bytes of a line are kept: the rest is skipped while
// the line end is looked for, so a hostile line of any length costs no memory.
// A regular file is mapped into memory a window at a time, so its lines are
// handed out where the page cache holds them, without a copy; pipes,
// terminals and files that cannot be mapped are read with read(2).
//
// `out_stream` buffers writes and checks every write(2), so a full device or
// a closed descriptor ends the run with a failure instead of a silent loss.
// `replacement_file` writes into a temporary file beside its target and only
// renames it over the target when `commit` is called: a failed run leaves
// any earlier file of that name as it was. The commit syncs the file to the
// device before the rename and the directory after it, so that after a
// power cut the name holds the old file or the whole new one, never an
// empty or partial one. A run ended by SIGINT, SIGTERM, SIGHUP or SIGQUIT
// removes its temporary files before it dies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace core {

class line_reader {
public:
    // Reads from an open descriptor, from its current offset; `name` names
    // the source in diagnostics. A regular file is mapped `map_window` bytes
    // at a time (rounded up to whole pages; 0: never mapped), up to the size
    // it had when the reader was made. What it has gained since, and any
    // other descriptor (a pipe, a terminal, a file the system will not map),
    // is read with read(2), at most `buffer_size` bytes at a time. The tests
    // and the fuzz targets make both small so lines cross refills and
    // windows. (A mapped file cut short by another process while it is read
    // ends the run with SIGBUS, as with any program that maps its input.)
    line_reader(int fd, std::string name, std::size_t buffer_size = 128 << 10,
                std::size_t map_window = 4 << 20);
    // Reads one line held in memory (a command-line argument, a test text).
    static line_reader from_text(std::string_view text, std::string name);
    ~line_reader();
    line_reader(line_reader&& other) noexcept;
    line_reader& operator=(line_reader&&) = delete;
    line_reader(const line_reader&) = delete;
    line_reader& operator=(const line_reader&) = delete;

    // The next line, at most `keep` bytes of it; false at end of input.
    bool next(std::string_view& line, std::size_t keep);

    // Number of the line last returned, counting from 1.
    long long line_number() const { return line_number_; }
    const std::string& name() const { return name_; }

private:
    bool fill();
    bool next_window();
    void unmap();
    void start_reading(std::uint64_t position);
    const char* data() const { return map_ ? map_ + map_skip_ : buf_.data(); }

    int fd_;
    std::string name_;
    std::vector<char> buf_;
    std::size_t buffer_size_;
    // begin_ and end_ index the bytes at data(): the read buffer, or the
    // mapped window from its first byte of the file on.
    std::size_t begin_ = 0, end_ = 0;
    bool eof_ = false;
    long long line_number_ = 0;
    std::string held_;  // the kept part of a line that crossed a refill or a window

    // The mapping of a regular file: the window at map_, map_length_ bytes
    // from the page at file position map_position_, whose data start
    // map_skip_ bytes in; mapping goes on to map_end_, the file's size when
    // reading began.
    bool mapping_ = false;
    const char* map_ = nullptr;
    std::size_t map_length_ = 0, map_skip_ = 0, map_window_ = 0;
    std::uint64_t map_position_ = 0, map_end_ = 0;
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
    // Writes `bytes` at `offset` of the temporary file, past the buffered
    // stream, and starts writing them to the device; several threads may
    // call it at once. A failed write is a `failure`, and so is every call
    // after one, which then writes nothing.
    void write_at(std::string_view bytes, std::uint64_t offset);
    // Flushes and syncs the temporary file, closes it, renames it over the
    // target and syncs the directory; a failure in any step fails the run.
    void commit();
    const std::string& target() const { return target_; }

private:
    std::string target_;
    std::string temp_;
    out_stream* out_ = nullptr;
    bool committed_ = false;
    int pending_ = -1;  // slot of the temporary file among those a signal removes
    std::mutex write_lock_;  // one write_at at a time, so none starts after a failure
    std::string write_error_;  // the message of the first failed write_at
};

}  // namespace core
