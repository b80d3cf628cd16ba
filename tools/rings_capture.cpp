// rings_capture: renders frames of the demo without a display, into PNG files or
// a raw stream of 0x00RRGGBB pixels, with the renderer the demo itself uses.
#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "demo/precision.h"
#include "demo/render.h"
#include "tools/capture_system.h"
#include "vorlix_version.h"

#ifdef RINGS_CAPTURE_PNG
#include "tools/png_file.h"
#else
#define RINGS_CAPTURE_PNG 0
static bool write_png(std::FILE*, int, int, const std::uint32_t*) { return false; }  // --png is refused
#endif

namespace {

constexpr int exit_failure = 1;  // a frame could not be written
constexpr int exit_usage = 2;
constexpr const char* usage_text =
    "usage: rings_capture --frames A[-B] (--png DIR | --raw FILE|- | --hash FILE|-) [--reference]\n"
    "       rings_capture --bench [--frames A[-B]]\n"
    "       rings_capture --help | --version\n"
    "  --frames A[-B]  frames A to B (0 to 2147483647; the demo's first frame is 1)\n"
    "  --png DIR       write DIR/frame-<n>.png for every frame; DIR and its parents\n"
    "                  are created when missing\n"
    "  --raw FILE      write the frames back to back as 32-bit little-endian\n"
    "                  0x00RRGGBB pixels, 320 x 240 per frame; - is standard output\n"
    "  --hash FILE     write a line per frame: its number and the 64-bit FNV-1a hash\n"
    "                  of its pixels as 32-bit words, in hexadecimal; - is standard\n"
    "                  output\n"
    "  --reference     shade with the reference path rather than the fastest one;\n"
    "                  the pictures are identical, only slower\n"
    "  --bench         time every pixel path this processor has on frames A to B\n"
    "                  (default 1-360; processor time, the best of 5 runs) and\n"
    "                  print a table\n"
    "A file is replaced only once all its frames are written; a device, a FIFO or\n"
    "the target of a symbolic link is written through. On a terminal, a line on\n"
    "standard error shows the frames done, the frames a second and the time left.\n"
    "Exit status: 0 done, 1 a frame could not be written, 2 bad arguments.\n";

struct Options {
    std::int32_t first = 0;
    std::int32_t last = 0;
    std::string png_dir;
    std::string raw_file;
    std::string hash_file;
    bool reference = false;
    bool bench = false;
};

int fail(int status, const std::string& message)
{
    std::fprintf(stderr, "rings_capture: %s\n", message.c_str());
    return status;
}

std::optional<std::int32_t> parse_frame(std::string_view text)
{
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end || value < 0 || value > 0x7FFFFFFF)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

// Returns an error message, or nothing when the options are complete and sound.
std::optional<std::string> parse_options(int argc, char** argv, Options& options)
{
    bool have_frames = false;
    std::vector<std::string_view> seen;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h" || arg == "--version")
            return std::string(arg) + " stands alone";
        if (std::find(seen.begin(), seen.end(), arg) != seen.end())
            return std::string(arg) + " given twice";
        seen.push_back(arg);
        if (arg == "--reference" || arg == "--bench") {
            (arg == "--bench" ? options.bench : options.reference) = true;
            continue;
        }
        if (arg != "--frames" && arg != "--png" && arg != "--raw" && arg != "--hash")
            return "unknown option '" + std::string(arg) + "'";
        if (i + 1 == argc)
            return std::string(arg) + " needs a value";
        const std::string_view value = argv[++i];
        if (arg == "--frames") {
            const auto dash = value.find('-');
            const auto first = parse_frame(value.substr(0, dash));
            const auto last = dash == std::string_view::npos ? first : parse_frame(value.substr(dash + 1));
            if (!first || !last)
                return "frames must be A or A-B with numbers from 0 to 2147483647, not '" + std::string(value) + "'";
            if (*last < *first)
                return "frame range '" + std::string(value) + "' ends before it starts";
            options.first = *first;
            options.last = *last;
            have_frames = true;
        } else if (value.empty()) {
            return std::string(arg) + " needs a non-empty value";
        } else {
            (arg == "--png" ? options.png_dir : arg == "--raw" ? options.raw_file : options.hash_file) = value;
        }
    }
    const int outputs = !options.png_dir.empty() + !options.raw_file.empty() + !options.hash_file.empty();
    if (options.bench) {
        if (outputs > 0 || options.reference)
            return std::string("--bench writes no frames and times every path");
        if (!have_frames)
            options.first = 1, options.last = 360;
        return std::nullopt;
    }
    if (!have_frames)
        return std::string("--frames is required");
    if (outputs != 1)
        return std::string("give exactly one of --png DIR, --raw FILE and --hash FILE");
    if (!RINGS_CAPTURE_PNG && !options.png_dir.empty())
        return std::string("this build writes --raw only (it has no PNG library)");
    return std::nullopt;
}

// Where frames go. A regular file or a new name is written under a temporary name and
// renamed when complete, so a failure never leaves a half-written file. Anything else
// is written through: a device, a FIFO or a socket is not a file to replace, and a
// symbolic link stands for its target. "-" is standard output.
class Output {
public:
    explicit Output(std::string name) : name_(std::move(name)) {}
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    ~Output()
    {
        if (file_ && file_ != stdout)
            std::fclose(file_);
        if (!temp_.empty())
            std::remove(temp_.c_str());
    }

    // An error message naming the cause, or nothing when open.
    std::optional<std::string> open()
    {
        if (name_ == "-") {
            capture_binary_stdout();
            file_ = stdout;
            return std::nullopt;
        }
        std::error_code ec;
        const auto type = std::filesystem::symlink_status(name_, ec).type();
        if (type == std::filesystem::file_type::not_found || type == std::filesystem::file_type::regular)
            temp_ = name_ + ".partial";
        file_ = std::fopen(temp_.empty() ? name_.c_str() : temp_.c_str(), "wb");
        if (!file_) {
            const int cause = errno;
            const std::string through = temp_.empty() ? "" : " (through '" + temp_ + "')";
            temp_.clear();  // not created
            return "cannot write '" + name_ + "'" + through + ": " + std::strerror(cause);
        }
        return std::nullopt;
    }

    std::FILE* get() const { return file_; }
    const std::string& name() const { return name_; }

    // Flushes, closes and, for a replaced file, renames: an error message naming the
    // cause, or nothing when everything reached its place.
    std::optional<std::string> finish()
    {
        std::FILE* file = std::exchange(file_, nullptr);
        int cause = 0;
        if (std::fflush(file) != 0 || std::ferror(file))
            cause = errno ? errno : EIO;
        if (file != stdout && std::fclose(file) != 0 && !cause)
            cause = errno;
        if (cause)
            return "writing '" + name_ + "' failed: " + std::strerror(cause);
        std::error_code ec;
        if (!temp_.empty())
            std::filesystem::rename(temp_, name_, ec);
        if (ec)
            return "cannot rename '" + temp_ + "' to '" + name_ + "': " + ec.message();
        temp_.clear();
        return std::nullopt;
    }

private:
    std::string name_;
    std::string temp_;  // the temporary name while it exists
    std::FILE* file_ = nullptr;
};

// A line on standard error for a person waiting on a long capture: frames done, the
// frames a second and the time left, rewritten in place at most ten times a second
// and blanked at the end. Only on a terminal: in a pipe or a file it would be noise
// in someone's log. Not when the frames go to that terminal too: it would break up
// their lines.
class Progress {
public:
    Progress(long long total, bool to_standard_output)
        : total_(total),
          shown_(capture_is_terminal(2) && !(to_standard_output && capture_is_terminal(1))),
          start_(Clock::now())
    {
    }

    // Blanks the line, with spaces rather than a terminal's erase sequence, which not
    // every console knows.
    ~Progress()
    {
        if (width_ > 0)
            std::fprintf(stderr, "\r%*s\r", width_, "");
    }

    void frame_done()
    {
        ++done_;
        if (!shown_ || done_ == total_)
            return;
        const auto now = Clock::now();
        if (done_ > 1 && now - shown_at_ < std::chrono::milliseconds(100))
            return;  // the first frame shows at once, then ten times a second at most
        shown_at_ = now;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const double rate = seconds > 0 ? static_cast<double>(done_) / seconds : 0;
        const long long left = rate > 0 ? std::llround(static_cast<double>(total_ - done_) / rate) : 0;
        char text[96];
        const int length = std::snprintf(text, sizeof text, "%lld of %lld frames, %.0f frames/s, %lld:%02lld:%02lld left",
                                         done_, total_, rate, left / 3600, left / 60 % 60, left % 60);
        // Spaces over what a longer line before left standing.
        std::fprintf(stderr, "\r%s%*s", text, std::max(0, width_ - length), "");
        std::fflush(stderr);
        width_ = length;
    }

private:
    using Clock = std::chrono::steady_clock;
    long long total_;
    long long done_ = 0;
    bool shown_;
    Clock::time_point start_;
    Clock::time_point shown_at_;
    int width_ = 0;  // characters of the line on the terminal, 0 when none is
};

// The frame as DIR/frame-<n>.png, a file of its own.
std::optional<std::string> write_png_frame(const std::filesystem::path& dir, std::int64_t n)
{
    Output out((dir / ("frame-" + std::to_string(n) + ".png")).string());
    if (auto error = out.open())
        return error;
    errno = 0;
    if (!write_png(out.get(), frame_width, frame_height, frame_buffer))
        return "writing '" + out.name() + "' failed: " + (errno ? std::strerror(errno) : "the PNG library failed");
    return out.finish();
}

// The frame's pixels, or its hash line, onto the stream.
std::optional<std::string> write_stream_frame(Output& out, std::int64_t n, bool hashes)
{
    // The pixels go out as they lie in memory: little-endian 0x00RRGGBB on every
    // processor this builds for.
    static_assert(std::endian::native == std::endian::little);
    bool written;
    if (hashes) {
        // FNV-1a over the pixels as 32-bit words: a fingerprint that lets two builds
        // be compared frame by frame without moving every pixel.
        std::uint64_t hash = 0xCBF29CE484222325;
        for (const std::uint32_t pixel : frame_buffer)
            hash = (hash ^ pixel) * 0x100000001B3;
        written = std::fprintf(out.get(), "%lld %016llx\n", static_cast<long long>(n),
                               static_cast<unsigned long long>(hash)) > 0;
    } else {
        written = std::fwrite(frame_buffer, sizeof frame_buffer, 1, out.get()) == 1;
    }
    if (!written)
        return "writing frame " + std::to_string(n) + " to '" + out.name() + "' failed: " + std::strerror(errno);
    return std::nullopt;
}

// Frames first to last into their PNG files or their stream: an error message
// naming the cause, or nothing when every frame reached its place.
std::optional<std::string> capture(const Options& options)
{
    const std::filesystem::path dir = options.png_dir;
    const bool hashes = !options.hash_file.empty();
    std::optional<Output> stream;
    if (dir.empty()) {
        if (auto error = stream.emplace(hashes ? options.hash_file : options.raw_file).open())
            return error;
    } else {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec)
            return "cannot create the directory '" + options.png_dir + "': " + ec.message();
        if (!std::filesystem::is_directory(dir, ec))
            return "'" + options.png_dir + "' is not a directory";
    }
    Progress progress(std::int64_t{options.last} - options.first + 1, stream && stream->name() == "-");
    render_seek(options.first);
    for (std::int64_t n = options.first; n <= options.last; ++n) {
        render_frame();
        if (auto error = stream ? write_stream_frame(*stream, n, hashes) : write_png_frame(dir, n))
            return error;
        progress.frame_done();
    }
    return stream ? stream->finish() : std::nullopt;
}

// Processor time of the frames, the best of several runs: on a shared machine
// the best run is the one least disturbed.
int bench(const Options& options)
{
    constexpr int runs = 5;
    const std::int64_t frames = std::int64_t{options.last} - options.first + 1;
    double reference_ms = 0;
    std::printf("%-10s %10s %13s %18s\n", "path", "ms/frame", "vs reference", "fallback px/frame");
    for (RenderPath path : all_render_paths()) {
        if (!render_select_path(path))
            continue;
        double best = 0;
        long fallbacks = 0;
        for (int run = 0; run < runs; ++run) {
            fallbacks = 0;
            render_seek(options.first);
            const double start = capture_thread_seconds();
            for (std::int64_t n = 0; n < frames; ++n) {
                render_frame();
                fallbacks += render_fallback_count();
            }
            const double took = (capture_thread_seconds() - start) * 1e3;
            best = run == 0 ? took : std::min(best, took);
        }
        const double ms = best / static_cast<double>(frames);
        if (path == RenderPath::reference)
            reference_ms = ms;
        std::printf("%-10s %10.3f %12.2fx %18.3f\n", render_path_name(path), ms, reference_ms / ms,
                    static_cast<double>(fallbacks) / static_cast<double>(frames));
    }
    std::printf("picked: %s\n", render_path_name(render_best_path()));
    return std::fflush(stdout) == 0 ? 0 : exit_failure;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage_text, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("rings_capture %s\n", VORLIX_VERSION);
        return 0;
    }
    Options options;
    if (const auto error = parse_options(argc, argv, options))
        return fail(exit_usage, *error + " (see --help)");

    precision_setup();
    render_setup();
    if (options.bench)
        return bench(options);
    render_select_path(options.reference ? RenderPath::reference : render_best_path());
    const auto error = capture(options);  // the progress line is gone before its message
    return error ? fail(exit_failure, *error) : 0;
}
