// The viewer's bitmap file: a whole file or none, the old file kept when the
// disk fills half-way.
#include "keldana/viewer/viewer_bitmap.h"

#include "common/safe_write.h"
#include "support/text_files.h"

#include <QColor>
#include <QImage>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

TEST(ViewerBitmap, AFailedWriteKeepsTheOldFile)
{
    const fs::path folder = fs::temp_directory_path() / ("kd_viewer_bitmap_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path path = folder / "view.bmp";
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    ASSERT_TRUE(save_viewer_bitmap(image, 0, 0, 64, 48, path.string()));
    const std::string whole = file_text(path);
    // "BM", then the file size as a little-endian 32-bit number.
    ASSERT_GT(whole.size(), 64u * 48u * 3u);
    EXPECT_EQ(whole.substr(0, 2), "BM");
    const auto byte = [&whole](int k) { return static_cast<std::size_t>(static_cast<unsigned char>(whole[k])); };
    EXPECT_EQ(byte(2) | byte(3) << 8 | byte(4) << 16 | byte(5) << 24, whole.size());

    const std::string old = "an old picture";
    std::ofstream(path, std::ios::binary) << old;
    for (long long after : {0LL, static_cast<long long>(whole.size() / 2)}) {
        set_safe_write_failure_after(after);
        EXPECT_FALSE(save_viewer_bitmap(image, 0, 0, 64, 48, path.string()));
        set_safe_write_failure_after(-1);
        EXPECT_EQ(file_text(path), old);
        EXPECT_TRUE(safe_write_temporaries(folder).empty());
    }
    ASSERT_TRUE(save_viewer_bitmap(image, 0, 0, 64, 48, path.string()));
    EXPECT_EQ(file_text(path), whole);
    fs::remove_all(folder);
}

}  // namespace
