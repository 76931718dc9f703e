#include "nevo_utils/nevo_image.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "nevo_algo_wrapper/test_context.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

NevoImage RawImage(std::vector<uint16_t>& pixels, int w, int h, int pitch_px) {
  pixels.assign(static_cast<size_t>(pitch_px) * h, 0);
  NevoImage img{};
  img.format = NEVO_FORMAT_RAW;
  img.elem_type = NEVO_ELEM_U16;
  img.width = w;
  img.height = h;
  img.plane[0] = pixels.data();
  img.pitch[0] = pitch_px * 2;
  img.fd[0] = -1;
  return img;
}

class NevoImageTest : public ::testing::Test {
 protected:
  std::shared_ptr<kiln::Context> ctx_ = MakeTestContext();
};

TEST_F(NevoImageTest, WrapDescribesPlaneZeroWithoutCopying) {
  std::vector<uint16_t> px;
  NevoImage img = RawImage(px, 6, 4, 8);
  const kiln::Mat m = NevoImage2Mat(ctx_.get(), img);
  ASSERT_TRUE(m.IsValid());
  EXPECT_EQ(m.GetSizes().h, 4);
  EXPECT_EQ(m.GetSizes().w, 6);
  EXPECT_EQ(m.GetSizes().c, 1);
  EXPECT_EQ(m.GetStrides().row_bytes, 16);
  EXPECT_EQ(m.GetElemType(), kiln::QX_U16);
  EXPECT_EQ(m.Ptr<uint16_t>(), px.data());
  EXPECT_EQ(m.GetBuffer().type, kiln::KILN_MEM_DMA);

  img.format = NEVO_FORMAT_RGB;
  img.width = 2;
  EXPECT_EQ(NevoImage2Mat(ctx_.get(), img).GetSizes().c, 3);
}

TEST_F(NevoImageTest, InvalidElementTypeGivesEmptyMatrixAndOneLine) {
  std::vector<uint16_t> px;
  NevoImage img = RawImage(px, 4, 4, 4);
  img.elem_type = 9;
  ::testing::internal::CaptureStderr();
  const kiln::Mat m = NevoImage2Mat(ctx_.get(), img);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(m.IsValid());
  EXPECT_THAT(err, HasSubstr("E/NEVO_UTILS: NevoElemType2KilnElemType["));
  EXPECT_THAT(err, HasSubstr("] elem type is invalid"));

  std::vector<uint16_t> dst_px;
  NevoImage dst = RawImage(dst_px, 4, 4, 4);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(NevoCopyImage(ctx_.get(), &img, &dst), NEVO_ERR_FAILED);
  ::testing::internal::GetCapturedStderr();
  EXPECT_THAT(TakeRecords(ctx_.get()), HasSubstr("NevoCopyImage: copy image failed"));
}

TEST_F(NevoImageTest, CopyChecksInOrderAndCopiesAcrossPitches) {
  std::vector<uint16_t> a, b;
  NevoImage src = RawImage(a, 5, 3, 5);
  NevoImage dst = RawImage(b, 5, 3, 9);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) a[y * 5 + x] = static_cast<uint16_t>(100 * y + x);

  EXPECT_EQ(NevoCopyImage(ctx_.get(), nullptr, &dst), NEVO_ERR_FAILED);
  EXPECT_THAT(TakeRecords(ctx_.get()), HasSubstr("NevoCopyImage: src or dst is NULL"));
  // Format is checked before the planes.
  NevoImage no_plane = dst;
  no_plane.plane[0] = nullptr;
  no_plane.format = NEVO_FORMAT_RGB;
  EXPECT_EQ(NevoCopyImage(ctx_.get(), &src, &no_plane), NEVO_ERR_FAILED);
  EXPECT_THAT(TakeRecords(ctx_.get()), HasSubstr("NevoCopyImage: src and dst format not match"));
  no_plane.format = NEVO_FORMAT_RAW;
  EXPECT_EQ(NevoCopyImage(ctx_.get(), &src, &no_plane), NEVO_ERR_FAILED);
  EXPECT_THAT(TakeRecords(ctx_.get()), HasSubstr("NevoCopyImage: src or dst plane is NULL"));
  NevoImage small = dst;
  small.width = 4;
  EXPECT_EQ(NevoCopyImage(ctx_.get(), &src, &small), NEVO_ERR_FAILED);
  EXPECT_THAT(TakeRecords(ctx_.get()), HasSubstr("NevoCopyImage: src and dst size not match"));
  EXPECT_EQ(b, std::vector<uint16_t>(27, 0));  // nothing written on a failed check

  ASSERT_EQ(NevoCopyImage(ctx_.get(), &src, &dst), 0);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(b[y * 9 + x], 100 * y + x);
    for (int x = 5; x < 9; ++x) EXPECT_EQ(b[y * 9 + x], 0) << "padding must stay untouched";
  }
}

TEST_F(NevoImageTest, InfoLineNamesEveryField) {
  std::vector<uint16_t> px;
  NevoImage img = RawImage(px, 6, 4, 8);
  img.pattern = 2;
  img.fd[1] = 7;
  auto quiet = MakeTestContext(2, 2);
  ::testing::internal::CaptureStderr();
  NevoPrintImageInfo(quiet.get(), img, "frame[0].img");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_THAT(err, HasSubstr("D/NEVO_UTILS: [NEVO_UTILS] NevoImage info frame[0].img:format=0, pattern=2, elem_type=3, width=6, "
                             "height=4, plane=["));
  EXPECT_THAT(err, HasSubstr("pitch=[16, 0, 0, 0], fd=[-1, 7, 0, 0]"));
}

TEST(NevoPathHelpers, JoinStripAndFormat) {
  EXPECT_EQ(NevoJoinPath("/a/b", "c.json"), "/a/b/c.json");
  EXPECT_EQ(NevoJoinPath("/a/b/", "c.json"), "/a/b/c.json");
  EXPECT_EQ(NevoStripExtension("IMG_1.2.jpg"), "IMG_1.2");
  EXPECT_EQ(NevoStripExtension("noext"), "noext");
  EXPECT_EQ(NevoStripExtension(""), "");
  EXPECT_EQ(NevoFormat("%s_%d_%.1fX", "w", 3, 1.25), "w_3_1.2X");
  EXPECT_EQ(NevoFormat("%s", std::string(5000, 'q').c_str()).size(), 5000u);
}

TEST(NevoPathHelpers, MakeDirsCreatesParentsAndRejectsFiles) {
  char tmpl[] = "/tmp/nevo_dirs_XXXXXX";
  const std::string root = mkdtemp(tmpl);
  const std::string deep = root + "/x/y/z/";
  EXPECT_EQ(NevoMakeDirs(deep), 0);
  struct stat st {};
  ASSERT_EQ(stat(deep.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(NevoMakeDirs(deep), 0);  // existing is fine
  const std::string file = root + "/file";
  FILE* f = std::fopen(file.c_str(), "w");
  std::fclose(f);
  EXPECT_EQ(NevoMakeDirs(file + "/sub"), NEVO_ERR_FAILED);
  EXPECT_EQ(NevoMakeDirs(""), NEVO_ERR_FAILED);
  std::filesystem::remove_all(root);
}

}  // namespace
