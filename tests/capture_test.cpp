// rings_capture as a user runs it: exit statuses, what it writes and what it leaves.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "demo/precision.h"
#include "demo/render.h"

namespace {

namespace fs = std::filesystem;

// Runs rings_capture with ARGS (shell words); its standard error goes to ERRORS, or nowhere.
int run(const std::string& args, const fs::path& errors = "/dev/null")
{
    const std::string command = std::string(RINGS_CAPTURE_PATH) + " " + args + " 2>" + errors.string();
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs rings_capture with ARGS on a pseudo-terminal, as from a person's shell: its
// standard output and error are the terminal, whose text comes back in SCREEN.
int run_on_terminal(const std::string& args, std::string& screen)
{
    const std::string command = std::string(RINGS_CAPTURE_PATH) + " " + args;
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child < 0)
        return -1;
    if (child == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(terminal, buffer, sizeof buffer);
        if (got > 0)
            screen.append(buffer, static_cast<std::size_t>(got));
        else if (got < 0 && errno == EINTR)
            continue;
        else
            break;  // EIO once the program's side is closed
    }
    ::close(terminal);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<unsigned char> read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class CaptureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("rings_capture_test_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

// The raw frames, and the line per frame that --hash writes of the same pixels.
TEST_F(CaptureTest, RawFramesAreTheRendererPixelsLittleEndian)
{
    const fs::path raw = dir_ / "frames.raw";
    ASSERT_EQ(run("--frames 89-91 --raw " + raw.string()), 0);
    const auto bytes = read_file(raw);
    ASSERT_EQ(bytes.size(), 3u * frame_pixel_count * 4);
    const fs::path hashes = dir_ / "frames.hash";
    ASSERT_EQ(run("--frames 89-91 --hash - > " + hashes.string()), 0);
    std::ifstream hash_lines(hashes);

    precision_setup();
    render_setup();
    render_seek(89);
    for (int f = 0; f < 3; ++f) {
        render_frame();
        for (int p = 0; p < frame_pixel_count; ++p) {
            const std::size_t at = (static_cast<std::size_t>(f) * frame_pixel_count + p) * 4;
            const std::uint32_t value = bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                        static_cast<std::uint32_t>(bytes[at + 3]) << 24;
            ASSERT_EQ(value, frame_buffer[p]) << "frame " << 89 + f << " pixel " << p;
        }
        std::uint64_t hash = 0xCBF29CE484222325;  // FNV-1a, a pixel at a time
        for (const std::uint32_t pixel : frame_buffer)
            hash = (hash ^ pixel) * 0x100000001B3;
        char want[32];
        std::snprintf(want, sizeof want, "%d %016llx", 89 + f, static_cast<unsigned long long>(hash));
        std::string line;
        ASSERT_TRUE(std::getline(hash_lines, line)) << "frame " << 89 + f;
        EXPECT_EQ(line, want);
    }
    std::string extra;
    EXPECT_FALSE(std::getline(hash_lines, extra)) << "a line per frame";
    EXPECT_FALSE(fs::exists(dir_ / "frames.raw.partial"));
}

TEST_F(CaptureTest, RawToStandardOutputAndExtremeFrameNumbers)
{
    const fs::path raw = dir_ / "out.raw";
    ASSERT_EQ(run("--frames 2147483647 --raw - > " + raw.string()), 0);
    EXPECT_EQ(fs::file_size(raw), static_cast<std::uintmax_t>(frame_pixel_count) * 4);
    ASSERT_EQ(run("--frames 0 --raw " + raw.string()), 0);
    const auto bytes = read_file(raw);
    ASSERT_EQ(bytes.size(), static_cast<std::size_t>(frame_pixel_count) * 4);
    for (unsigned char b : bytes)
        ASSERT_EQ(b, 0) << "frame 0 is black";
}

TEST_F(CaptureTest, ReferencePathWritesTheSameFrames)
{
    const fs::path fast = dir_ / "fast.raw", reference = dir_ / "reference.raw";
    ASSERT_EQ(run("--frames 178-181 --raw " + fast.string()), 0);
    ASSERT_EQ(run("--reference --frames 178-181 --raw " + reference.string()), 0);
    const auto bytes = read_file(fast);
    EXPECT_EQ(bytes.size(), 4u * frame_pixel_count * 4);
    EXPECT_TRUE(bytes == read_file(reference));
    EXPECT_EQ(run("--frames 1 --reference=yes --raw " + reference.string()), 2);
}

TEST_F(CaptureTest, PngFilesOnePerFrame)
{
    const fs::path out = dir_ / "png" / "nested";
    ASSERT_EQ(run("--png " + out.string() + " --frames 1-2"), 0);
    for (const char* name : {"frame-1.png", "frame-2.png"}) {
        const auto bytes = read_file(out / name);
        ASSERT_GT(bytes.size(), 1000u) << name;
        EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG") << name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);
}

TEST_F(CaptureTest, BadArgumentsExitTwoAndWriteNothing)
{
    const std::string raw = (dir_ / "never.raw").string();
    const std::vector<std::string> bad = {
             "",
             "--frames 1",
             "--frames 1 --raw",
             "--frames 5-4 --raw " + raw,
             "--frames -1 --raw " + raw,
             "--frames 2147483648 --raw " + raw,
             "--frames 1-x --raw " + raw,
             "--frames 1- --raw " + raw,
             "--frames 1 --raw " + raw + " --png " + dir_.string(),
             "--frames 1 --raw " + raw + " --hash " + raw,
             "--frames 1 --bogus --raw " + raw,
             "--version extra",
             "--help --frames 1",
             "--frames 1 --frames 2 --raw " + raw,
             "--frames 1 --raw " + raw + " --raw " + raw,
             "--bench --raw " + raw,
             "--bench --hash -",
             "--bench --reference",
             "--bench --frames 3-2",
    };
    for (const std::string& args : bad) {
        EXPECT_EQ(run(args), 2) << args;
    }
    EXPECT_TRUE(fs::is_empty(dir_)) << "nothing half-written";
    EXPECT_EQ(run("--help > /dev/null"), 0);
}

// On a terminal a line counts the frames, rewrites itself in place and is blanked
// at the end; in a pipe, or with the frames on the terminal too, there is none.
TEST_F(CaptureTest, ProgressLineOnlyOnATerminal)
{
    const fs::path hashes = dir_ / "hashes";
    for (const std::string& output : {"--hash " + hashes.string(), "--png " + (dir_ / "png").string()}) {
        std::string screen;
        ASSERT_EQ(run_on_terminal("--frames 1-10 " + output, screen), 0) << output << ": " << screen;
        EXPECT_NE(screen.find("\r1 of 10 frames, "), std::string::npos) << output << ": " << screen;
        EXPECT_NE(screen.find(" frames/s, 0:00:"), std::string::npos) << output << ": " << screen;
        EXPECT_EQ(screen.find('\n'), std::string::npos) << output << ": the line scrolled: " << screen;
        // The line as the terminal shows it, each carriage return writing over it from
        // its start: at the end nothing is left on it.
        EXPECT_EQ(screen.front(), '\r') << output << ": " << screen;
        std::string shown;
        std::size_t column = 0;
        for (const char c : screen) {
            if (c == '\r') {
                column = 0;
                continue;
            }
            if (column < shown.size())
                shown[column] = c;
            else
                shown += c;
            ++column;
        }
        EXPECT_EQ(shown.find_first_not_of(' '), std::string::npos) << output << ": left '" << shown << "'";
    }
    std::ifstream lines(hashes);
    EXPECT_EQ(std::count(std::istreambuf_iterator<char>(lines), {}, '\n'), 10) << "the frames written all the same";

    // Hash lines on the terminal are not broken up by the line.
    std::string screen;
    ASSERT_EQ(run_on_terminal("--frames 1-10 --hash -", screen), 0);
    EXPECT_EQ(screen.find("frames/s"), std::string::npos) << screen;
    EXPECT_EQ(std::count(screen.begin(), screen.end(), '\n'), 10) << screen;

    // Standard error in a pipe hears nothing.
    const std::string piped = std::string(RINGS_CAPTURE_PATH) + " --frames 1-10 --hash " + hashes.string() + " 2>&1";
    std::FILE* pipe = ::popen(piped.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string heard;
    for (int c; (c = std::fgetc(pipe)) != EOF;)
        heard += static_cast<char>(c);
    EXPECT_EQ(::pclose(pipe), 0);
    EXPECT_EQ(heard, "");
}

// A failed write is a failure with its cause on standard error, and leaves nothing.
TEST_F(CaptureTest, WriteFailuresExitOneAndNameTheirCause)
{
    const fs::path file = dir_ / "file";
    std::ofstream(file) << "a file, not a directory";
    const struct {
        std::string args;
        int cause;
    } cases[] = {
        {"--frames 1 --raw " + (dir_ / "missing" / "x.raw").string(), ENOENT},
        {"--frames 1 --raw " + dir_.string(), EISDIR},
        {"--frames 1 --png " + file.string(), ENOTDIR},
        {"--frames 1 --png " + (file / "frames").string(), ENOTDIR},
    };
    const fs::path errors = fs::temp_directory_path() / ("rings_capture_errors_" + std::to_string(::getpid()));
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.args, errors), 1) << c.args;
        std::ifstream in(errors);
        const std::string message{std::istreambuf_iterator<char>(in), {}};
        EXPECT_NE(message.find(std::strerror(c.cause)), std::string::npos) << c.args << ": " << message;
    }
    fs::remove(errors);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1) << "nothing half-written";
}

// What is not a regular file is written through and left as it was: replacing a
// FIFO would starve its reader, replacing a symbolic link would lose its target.
TEST_F(CaptureTest, FifoAndSymlinkAreWrittenThrough)
{
    const fs::path expected = dir_ / "expected.raw";
    ASSERT_EQ(run("--frames 1-2 --raw " + expected.string()), 0);

    const fs::path fifo = dir_ / "fifo", received = dir_ / "received.raw";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
    // The reader waits on the FIFO itself: were it replaced, it would hear nothing
    // and give up after its timeout.
    const std::string with_reader = "timeout 60 cat " + fifo.string() + " > " + received.string() + " & " +
                                    RINGS_CAPTURE_PATH + " --frames 1-2 --raw " + fifo.string() +
                                    "; s=$?; wait; exit $s";
    const int status = std::system(("sh -c '" + with_reader + "'").c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));
    EXPECT_TRUE(read_file(received) == read_file(expected)) << "the reader got the frames";

    const fs::path target = dir_ / "target.raw", link = dir_ / "link.raw";
    std::ofstream(target) << "old";
    fs::create_symlink(target, link);
    EXPECT_EQ(run("--frames 1-2 --raw " + link.string()), 0);
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), target);
    EXPECT_TRUE(read_file(target) == read_file(expected)) << "the frames went to the link's target";
    EXPECT_FALSE(fs::exists(dir_ / "link.raw.partial"));
}

// Device nodes of this machine's null and full devices, made in the test's own
// directory: the real /dev is never touched.
TEST_F(CaptureTest, DevicesAreWrittenThroughNotReplaced)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "making device nodes needs root";
    const fs::path null = dir_ / "null", full = dir_ / "full", png = dir_ / "png";
    fs::create_directory(png);
    for (const auto& [node, minor] : {std::pair{null, 3}, {full, 7}, {png / "frame-1.png", 7}}) {
        if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, minor)) != 0)
            GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
    }
    const fs::path errors = dir_ / "errors";
    const struct {
        std::string args;
        int status;
    } cases[] = {
        {"--frames 1-2 --raw " + null.string(), 0},
        {"--frames 1-2 --raw " + full.string(), 1},
        {"--frames 1 --raw - > " + full.string(), 1},
        {"--frames 1 --png " + png.string(), 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.args, errors), c.status) << c.args;
        std::ifstream in(errors);
        const std::string message{std::istreambuf_iterator<char>(in), {}};
        if (c.status != 0)
            EXPECT_NE(message.find(std::strerror(ENOSPC)), std::string::npos) << c.args << ": " << message;
        else
            EXPECT_EQ(message, "") << c.args;
    }
    for (const fs::path& node : {null, full, png / "frame-1.png"})
        EXPECT_TRUE(fs::is_character_file(fs::symlink_status(node))) << node << " was replaced";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 4) << "no .partial left";
    EXPECT_EQ(std::distance(fs::directory_iterator(png), fs::directory_iterator()), 1) << "no .partial left";
}

}  // namespace
