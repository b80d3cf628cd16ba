// rings_capture as a user runs it: exit statuses, what it writes and what it leaves.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "demo/precision.h"
#include "demo/render.h"

namespace {

namespace fs = std::filesystem;

int run(const std::string& args)
{
    const std::string command = std::string(RINGS_CAPTURE_PATH) + " " + args + " 2>/dev/null";
    const int status = std::system(command.c_str());
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

TEST_F(CaptureTest, RawFramesAreTheRendererPixelsLittleEndian)
{
    const fs::path raw = dir_ / "frames.raw";
    ASSERT_EQ(run("--frames 89-91 --raw " + raw.string()), 0);
    const auto bytes = read_file(raw);
    ASSERT_EQ(bytes.size(), 3u * frame_pixel_count * 4);

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
    }
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
             "--frames 1 --bogus --raw " + raw,
             "--frames 1 --raw " + (dir_ / "missing" / "x.raw").string(),
             "--frames 1 --png /proc/version",
             "--bench --raw " + raw,
             "--bench --reference",
             "--bench --frames 3-2",
    };
    for (const std::string& args : bad) {
        EXPECT_EQ(run(args), 2) << args;
    }
    EXPECT_TRUE(fs::is_empty(dir_)) << "nothing half-written";
    EXPECT_EQ(run("--help > /dev/null"), 0);
}

}  // namespace
