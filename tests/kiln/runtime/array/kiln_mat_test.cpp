// kiln::Mat: constructors, layout, sharing and release, copies, dump, info.
#include "kiln/runtime/array/mat.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kiln/runtime/context/context.h"

namespace {

class MatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kiln::ContextConfig config;
    config.log_mode = kiln::kLogModeNone;
    config.wp_name = "MAT";
    ctx_.reset(new kiln::Context(config));
    ASSERT_EQ(ctx_->Initialize(), 0);
    pool_ = ctx_->GetMemPool().get();
  }

  std::string History() const { return ctx_->GetLogger()->GetErrorBacktrace(); }
  bool Recorded(const std::string& message) const {
    return History().find("] : " + message + "\n") != std::string::npos;
  }

  // Fills every pixel byte with a value derived from its row and column.
  static void Fill(kiln::Mat& m) {
    for (int y = 0; y < m.Height(); ++y) {
      uint8_t* row = m.GetRowData(y);
      for (int64_t x = 0; x < m.RowBytes(); ++x) row[x] = static_cast<uint8_t>(y * 31 + x * 7 + 3);
    }
  }

  std::unique_ptr<kiln::Context> ctx_;
  kiln::MemPool* pool_ = nullptr;
};

TEST(ElemTypes, SizesAndNamesFollowTheTypeTable) {
  const int sizes[] = {0, 1, 1, 2, 2, 4, 4, 4, 8, 2};
  const char* names[] = {"INVALID", "U8", "S8", "U16", "S16", "U32", "S32", "F32", "F64", "F16"};
  for (int t = 0; t <= 9; ++t) {
    EXPECT_EQ(kiln::ElemTypeSize(t), sizes[t]) << t;
    EXPECT_STREQ(kiln::ElemTypeName(t), names[t]);
  }
  EXPECT_EQ(kiln::QX_U8, 1);
  EXPECT_EQ(kiln::QX_F32, 7);
  EXPECT_EQ(kiln::QX_F16, 9);
  EXPECT_STREQ(kiln::ElemTypeName(10), "INVALID elem_type");
  EXPECT_STREQ(kiln::ElemTypeName(-1), "INVALID elem_type");
  EXPECT_EQ(kiln::ElemTypeSize(10), 0);
  EXPECT_STREQ(kiln::ArrayTypeName(0), "INVALID");
  EXPECT_STREQ(kiln::ArrayTypeName(1), "MAT");
  EXPECT_STREQ(kiln::ArrayTypeName(2), "XTENSA_MAT");
  EXPECT_STREQ(kiln::ArrayTypeName(3), "XTENSA_MAT");
  EXPECT_STREQ(kiln::ArrayTypeName(4), "INVALID array_type");
  EXPECT_STREQ(kiln::BufferTypeName(0), "Invalid Buffer");
  EXPECT_STREQ(kiln::BufferTypeName(1), "Heap Buffer");
  EXPECT_STREQ(kiln::BufferTypeName(2), "DMA Buffer");
  EXPECT_STREQ(kiln::BufferTypeName(3), "SVM");
  EXPECT_STREQ(kiln::BufferTypeName(4), "VTCM");
  EXPECT_STREQ(kiln::BufferTypeName(5), "User Defined Buffer");
  EXPECT_STREQ(kiln::BufferTypeName(255), "User Defined Buffer");
  EXPECT_STREQ(kiln::BufferTypeName(256), "Illegal Buffer Type");
}

TEST_F(MatTest, DefaultMat_IsEmptyWithOneChannel) {
  kiln::Mat m;
  EXPECT_FALSE(m.IsValid());
  EXPECT_EQ(m.GetArrayType(), kiln::KILN_ARRAY_MAT);
  EXPECT_EQ(m.Channels(), 1);
  EXPECT_EQ(m.Height(), 0);
  EXPECT_EQ(m.Width(), 0);
  EXPECT_EQ(m.GetTotal(), 0);
  EXPECT_EQ(m.GetData(), nullptr);
  EXPECT_EQ(m.RefCount(), 0);
  EXPECT_EQ(m.AddRef(1), 0);
}

TEST_F(MatTest, Allocate_ComputesTheLayoutFromSizesAndStrides) {
  kiln::Mat tight(ctx_.get(), kiln::QX_U8, {3, 5, 3}, kiln::KILN_MEM_HEAP);
  ASSERT_TRUE(tight.IsValid());
  EXPECT_EQ(tight.RowPitch(), 15);
  EXPECT_EQ(tight.GetStrides().rows, 3);
  EXPECT_EQ(tight.GetTotal(), 45);
  EXPECT_EQ(tight.GetBuffer().size, 45u);
  EXPECT_EQ(tight.GetBuffer().type, kiln::KILN_MEM_HEAP);
  EXPECT_EQ(tight.RefCount(), 1);
  EXPECT_EQ(tight.GetContext(), ctx_.get());
  EXPECT_EQ(pool_->GetCurrentSize(), 45 + 4) << "pixels plus the 4-byte counter";

  kiln::Mat padded(ctx_.get(), kiln::QX_S16, {3, 5, 2}, kiln::KILN_MEM_HEAP, {6, 32});
  ASSERT_TRUE(padded.IsValid());
  EXPECT_EQ(padded.RowBytes(), 20);
  EXPECT_EQ(padded.RowPitch(), 32);
  EXPECT_EQ(padded.GetStrides().rows, 6);
  EXPECT_EQ(padded.GetTotal(), 6 * 32);
  EXPECT_EQ(padded.GetRowData(2), padded.GetData() + 64);
  EXPECT_EQ(padded.Ptr<int16_t>(1), reinterpret_cast<int16_t*>(padded.GetData() + 32));

  kiln::Mat raised(ctx_.get(), kiln::QX_F32, {4, 2, 1}, kiln::KILN_MEM_HEAP, {1, 3});
  EXPECT_EQ(raised.RowPitch(), 8) << "a row stride below the row bytes is raised";
  EXPECT_EQ(raised.GetStrides().rows, 4);
  EXPECT_EQ(raised.GetTotal(), 32);
}

TEST_F(MatTest, Allocate_DmaMemoryCarriesItsDescriptor) {
  kiln::Mat m(ctx_.get(), kiln::QX_U16, {8, 8, 1}, kiln::KILN_MEM_DMA);
  ASSERT_TRUE(m.IsValid());
  EXPECT_EQ(m.GetBuffer().type, kiln::KILN_MEM_DMA);
  EXPECT_GE(m.GetFd(), 0);
  kiln::Mat heap(ctx_.get(), kiln::QX_U16, {8, 8, 1}, kiln::KILN_MEM_HEAP);
  EXPECT_EQ(heap.GetFd(), -1);
}

TEST_F(MatTest, Allocate_FailuresLeaveAnEmptyMatAndARecord) {
  kiln::Mat no_type(ctx_.get(), kiln::QX_U8, {2, 2, 1}, kiln::KILN_MEM_INVALID);
  EXPECT_FALSE(no_type.IsValid());
  EXPECT_TRUE(Recorded("mem_type is KILN_MEM_INVALID")) << History();

  kiln::Mat no_allocator(ctx_.get(), kiln::QX_U8, {2, 2, 1}, 9u);
  EXPECT_FALSE(no_allocator.IsValid());
  EXPECT_TRUE(Recorded("invalid mat")) << History();
  EXPECT_EQ(pool_->GetBlockCount(), 0u) << "the counter of a failed Mat is returned";

  ctx_->GetLogger()->ClearError();
  kiln::Mat no_rows(ctx_.get(), kiln::QX_U8, {0, 2, 1}, kiln::KILN_MEM_HEAP);
  kiln::Mat bad_elem(ctx_.get(), 12, {2, 2, 1}, kiln::KILN_MEM_HEAP);
  kiln::Mat huge(ctx_.get(), kiln::QX_F64, {2, 1 << 28, 4}, kiln::KILN_MEM_HEAP);
  EXPECT_FALSE(no_rows.IsValid());
  EXPECT_FALSE(bad_elem.IsValid());
  EXPECT_FALSE(huge.IsValid()) << "row bytes beyond 32 bits are refused, not wrapped";
  EXPECT_EQ(ctx_->GetLogger()->GetErrorCount(), 3u);

  kiln::Mat no_context(nullptr, kiln::QX_U8, {2, 2, 1}, kiln::KILN_MEM_HEAP);
  EXPECT_FALSE(no_context.IsValid());
  EXPECT_EQ(no_context.GetTotal(), 0);
  EXPECT_EQ(pool_->GetBlockCount(), 0u);
}

TEST_F(MatTest, Wrap_AcceptsATightlyCutLastRow) {
  std::vector<uint8_t> memory(1024);
  kiln::Buffer buffer;
  buffer.type = kiln::KILN_MEM_HEAP;
  buffer.capacity = 1000;
  buffer.size = 1000;
  buffer.data = memory.data();
  buffer.origin = memory.data();
  kiln::Mat cut(ctx_.get(), kiln::QX_U8, {4, 232, 1}, buffer, {0, 256});
  ASSERT_TRUE(cut.IsValid());
  EXPECT_EQ(cut.GetTotal(), 1000) << "3 x 256 + 232, not 4 x 256";
  EXPECT_EQ(cut.GetBuffer().size, 1000u);
  EXPECT_EQ(cut.GetData(), memory.data());
  EXPECT_EQ(cut.RefCount(), 0) << "a wrapped buffer has no counter";

  buffer.capacity = buffer.size = 1024;
  kiln::Mat full(ctx_.get(), kiln::QX_U8, {4, 232, 1}, buffer, {0, 256});
  ASSERT_TRUE(full.IsValid());
  EXPECT_EQ(full.GetTotal(), 1024);

  buffer.capacity = buffer.size = 999;
  kiln::Mat short_buffer(ctx_.get(), kiln::QX_U8, {4, 232, 1}, buffer, {0, 256});
  EXPECT_FALSE(short_buffer.IsValid());
  EXPECT_TRUE(Recorded("the memory of buffer does not meet the requirements of Mat")) << History();
}

TEST_F(MatTest, Wrap_RefusesInvalidBufferRecords) {
  uint8_t memory[64];
  kiln::Buffer good;
  good.type = kiln::KILN_MEM_HEAP;
  good.capacity = good.size = sizeof(memory);
  good.data = good.origin = memory;
  std::vector<kiln::Buffer> bad(5, good);
  bad[0].type = kiln::KILN_MEM_INVALID;
  bad[1].data = nullptr;
  bad[2].origin = nullptr;
  bad[3].capacity = 10;  // below size
  bad[4].size = 0;
  for (const kiln::Buffer& b : bad) {
    ctx_->GetLogger()->ClearError();
    kiln::Mat m(ctx_.get(), kiln::QX_U8, {2, 2, 1}, b);
    EXPECT_FALSE(m.IsValid());
    EXPECT_TRUE(Recorded("buffer is invalid")) << History();
  }
  kiln::Mat no_context(nullptr, kiln::QX_U8, {2, 2, 1}, good);
  EXPECT_FALSE(no_context.IsValid());
}

TEST_F(MatTest, WrapPointer_DescribesTheRowsWithAnOptionalDescriptor) {
  std::vector<uint8_t> memory(14);
  kiln::Mat heap(ctx_.get(), kiln::QX_U16, {2, 3, 1}, memory.data(), {0, 8});
  ASSERT_TRUE(heap.IsValid());
  EXPECT_EQ(heap.GetTotal(), 14) << "one 8-byte pitch plus a last row of 6 bytes";
  EXPECT_EQ(heap.GetBuffer().type, kiln::KILN_MEM_HEAP);
  EXPECT_EQ(heap.GetFd(), -1);

  kiln::Mat dma(ctx_.get(), kiln::QX_U16, {2, 3, 1}, memory.data(), {0, 8}, 42);
  ASSERT_TRUE(dma.IsValid());
  EXPECT_EQ(dma.GetBuffer().type, kiln::KILN_MEM_DMA);
  EXPECT_EQ(dma.GetBuffer().property, 42u);
  EXPECT_EQ(dma.GetFd(), 42);

  kiln::Mat null_data(ctx_.get(), kiln::QX_U16, {2, 3, 1}, static_cast<void*>(nullptr));
  EXPECT_FALSE(null_data.IsValid());
  EXPECT_TRUE(Recorded("buffer is invalid"));
  EXPECT_EQ(pool_->GetBlockCount(), 0u) << "wrapping allocates nothing";
}

TEST_F(MatTest, Copies_ShareOneBufferAndTheLastReleaseFreesIt) {
  kiln::Mat a(ctx_.get(), kiln::QX_U8, {16, 16, 1}, kiln::KILN_MEM_HEAP);
  ASSERT_TRUE(a.IsValid());
  const size_t blocks = pool_->GetBlockCount();
  EXPECT_EQ(blocks, 2u);
  kiln::Mat b(a);
  kiln::Mat c;
  c = b;
  EXPECT_EQ(a.RefCount(), 3);
  EXPECT_EQ(c.GetData(), a.GetData());
  a.Release();
  EXPECT_FALSE(a.IsValid());
  EXPECT_EQ(a.GetArrayType(), kiln::KILN_ARRAY_MAT);
  b.Release();
  EXPECT_EQ(c.RefCount(), 1);
  EXPECT_EQ(pool_->GetBlockCount(), blocks) << "still shared by c";
  c.Release();
  EXPECT_EQ(pool_->GetBlockCount(), 0u);
  EXPECT_EQ(pool_->GetCurrentSize(), 0);
  c.Release();  // releasing an empty Mat is harmless
  EXPECT_EQ(ctx_->GetLogger()->GetErrorCount(), 0u) << "nothing was freed twice";
}

TEST_F(MatTest, Assignment_ReleasesTheOldBuffer) {
  kiln::Mat a(ctx_.get(), kiln::QX_U8, {4, 4, 1}, kiln::KILN_MEM_HEAP);
  kiln::Mat b(ctx_.get(), kiln::QX_U8, {8, 8, 1}, kiln::KILN_MEM_HEAP);
  EXPECT_EQ(pool_->GetBlockCount(), 4u);
  b = a;
  EXPECT_EQ(pool_->GetBlockCount(), 2u);
  EXPECT_EQ(a.RefCount(), 2);
  b = b;
  EXPECT_EQ(a.RefCount(), 2) << "self-assignment keeps the share";
  kiln::Mat moved(std::move(b));
  EXPECT_FALSE(b.IsValid());
  EXPECT_EQ(a.RefCount(), 2) << "a move hands the share over";
  kiln::Mat target;
  target = std::move(moved);
  EXPECT_EQ(target.GetData(), a.GetData());
  EXPECT_EQ(a.RefCount(), 2);
  kiln::Mat invalid;
  target = invalid;
  EXPECT_FALSE(target.IsValid());
  EXPECT_EQ(a.RefCount(), 1);
}

TEST_F(MatTest, ConcurrentCopiesAndReleasesOfOneMat_FreeItExactlyOnce) {
  auto* original = new kiln::Mat(ctx_.get(), kiln::QX_U8, {32, 32, 1}, kiln::KILN_MEM_HEAP);
  ASSERT_TRUE(original->IsValid());
  std::vector<std::vector<kiln::Mat>> held(8);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([original, &held, t] {
      const kiln::Mat& source = *original;
      for (int i = 0; i < 500; ++i) {
        kiln::Mat copy(source);
        if (i % 50 == 0) held[t].push_back(copy);
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(original->RefCount(), 1 + 8 * 10);
  delete original;
  EXPECT_EQ(pool_->GetBlockCount(), 2u);
  threads.clear();
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&held, t] { held[t].clear(); });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(pool_->GetBlockCount(), 0u);
  EXPECT_EQ(pool_->GetCurrentSize(), 0);
  EXPECT_EQ(ctx_->GetLogger()->GetErrorCount(), 0u) << "no Free of an unknown block";
}

TEST_F(MatTest, RegionCopy_CopiesTheRectangleIntoNewMemory) {
  kiln::Mat src(ctx_.get(), kiln::QX_U16, {6, 8, 2}, kiln::KILN_MEM_HEAP, {0, 40});
  ASSERT_TRUE(src.IsValid());
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 16; ++x) src.Ptr<uint16_t>(y)[x] = static_cast<uint16_t>(1000 * y + x);
  }
  kiln::Mat region(src, kiln::Rect{2, 1, 3, 4}, kiln::Strides{0, 64});
  ASSERT_TRUE(region.IsValid());
  EXPECT_EQ(region.Height(), 4);
  EXPECT_EQ(region.Width(), 3);
  EXPECT_EQ(region.Channels(), 2);
  EXPECT_EQ(region.GetElemType(), kiln::QX_U16);
  EXPECT_EQ(region.RowPitch(), 64);
  EXPECT_NE(region.GetData(), src.GetData());
  for (int r = 0; r < 4; ++r) {
    for (int x = 0; x < 6; ++x) {
      EXPECT_EQ(region.Ptr<uint16_t>(r)[x], 1000 * (r + 1) + 4 + x) << r << "," << x;
    }
  }
  kiln::Mat whole(src, kiln::Rect{0, 0, 8, 6});
  EXPECT_TRUE(whole.IsValid());
}

TEST_F(MatTest, RegionCopy_RejectsRectanglesOutsideTheSource) {
  kiln::Mat src(ctx_.get(), kiln::QX_U8, {6, 8, 1}, kiln::KILN_MEM_HEAP);
  const size_t blocks = pool_->GetBlockCount();
  const kiln::Rect outside[] = {{6, 0, 3, 1}, {0, 4, 1, 3}, {-1, 0, 2, 2}, {0, -1, 2, 2},
                                {0, 0, 0, 2}, {0, 0, 2, 0}, {2147483647, 0, 2, 1}, {0, 0, 9, 6}};
  for (const kiln::Rect& rect : outside) {
    ctx_->GetLogger()->ClearError();
    kiln::Mat region(src, rect);
    EXPECT_FALSE(region.IsValid()) << rect.x << "," << rect.y << "," << rect.width << "," << rect.height;
    EXPECT_NE(History().find("is outside the src mat 6x8(hw)"), std::string::npos) << History();
  }
  EXPECT_EQ(pool_->GetBlockCount(), blocks) << "nothing allocated for a rejected rectangle";
  kiln::Mat empty;
  kiln::Mat from_empty(empty, kiln::Rect{0, 0, 1, 1});
  EXPECT_FALSE(from_empty.IsValid());
}

TEST_F(MatTest, Clone_CopiesPixelsIntoNewMemoryOfTheSameType) {
  kiln::Mat src(ctx_.get(), kiln::QX_U8, {5, 7, 3}, kiln::KILN_MEM_DMA, {0, 32});
  ASSERT_TRUE(src.IsValid());
  Fill(src);
  kiln::Mat clone = src.Clone();
  ASSERT_TRUE(clone.IsValid());
  EXPECT_NE(clone.GetData(), src.GetData());
  EXPECT_EQ(clone.GetBuffer().type, kiln::KILN_MEM_DMA);
  EXPECT_EQ(clone.RowPitch(), 32);
  EXPECT_TRUE(clone.SameShape(src));
  EXPECT_EQ(std::memcmp(clone.GetData(), src.GetData(), static_cast<size_t>(src.GetTotal())), 0);
  clone.GetData()[0] ^= 0xFF;
  EXPECT_NE(clone.GetData()[0], src.GetData()[0]) << "the clone owns its pixels";
  EXPECT_EQ(src.RefCount(), 1);
  EXPECT_FALSE(kiln::Mat().Clone().IsValid());
}

TEST_F(MatTest, CopyTo_CopiesRowByRowBetweenDifferentPitches) {
  kiln::Mat src(ctx_.get(), kiln::QX_S16, {4, 5, 1}, kiln::KILN_MEM_HEAP, {0, 16});
  kiln::Mat dst(ctx_.get(), kiln::QX_S16, {4, 5, 1}, kiln::KILN_MEM_HEAP, {0, 24});
  Fill(src);
  std::memset(dst.GetData(), 0xEE, static_cast<size_t>(dst.GetTotal()));
  ASSERT_EQ(src.CopyTo(dst), 0);
  for (int y = 0; y < 4; ++y) {
    EXPECT_EQ(std::memcmp(dst.GetRowData(y), src.GetRowData(y), 10), 0) << y;
    EXPECT_EQ(dst.GetRowData(y)[10], 0xEE) << "padding beyond the row is left alone";
  }
  EXPECT_EQ(src.CopyTo(src), 0);

  kiln::Mat other_shape(ctx_.get(), kiln::QX_S16, {4, 6, 1}, kiln::KILN_MEM_HEAP);
  kiln::Mat other_type(ctx_.get(), kiln::QX_U16, {4, 5, 1}, kiln::KILN_MEM_HEAP);
  EXPECT_EQ(src.CopyTo(other_shape), -1);
  EXPECT_EQ(src.CopyTo(other_type), -1);

  kiln::Mat fresh;
  ASSERT_EQ(src.CopyTo(fresh), 0);
  ASSERT_TRUE(fresh.IsValid());
  EXPECT_NE(fresh.GetData(), src.GetData());
  EXPECT_EQ(fresh.RowPitch(), 16);
  EXPECT_EQ(std::memcmp(fresh.GetData(), src.GetData(), 64), 0);

  kiln::Mat empty;
  EXPECT_EQ(empty.CopyTo(fresh), -1) << "an invalid source is an error";
}

TEST_F(MatTest, Dump_WritesOnlyThePixelBytesOfEachRow) {
  kiln::Mat m(ctx_.get(), kiln::QX_U16, {3, 5, 2}, kiln::KILN_MEM_HEAP, {0, 48});
  Fill(m);
  const std::string path = "/tmp/kiln_mat_dump_" + std::to_string(getpid()) + ".bin";
  ASSERT_EQ(m.Dump(path), 0);
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string bytes = ss.str();
  std::remove(path.c_str());
  ASSERT_EQ(bytes.size(), 3u * 5u * 2u * 2u);
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(std::memcmp(bytes.data() + y * 20, m.GetRowData(y), 20), 0) << y;
  }

  EXPECT_EQ(m.Dump(""), -1);
  EXPECT_TRUE(Recorded("fname is empty"));
  EXPECT_EQ(m.Dump("/nonexistent_kiln_dir/x.bin"), -1);
  EXPECT_TRUE(Recorded("open /nonexistent_kiln_dir/x.bin failed")) << History();
  EXPECT_EQ(m.Dump("/dev/full"), -1);
  EXPECT_NE(History().find("] : fwrite size("), std::string::npos) << History();
}

TEST_F(MatTest, PrintInfo_DescribesTheMatInTheFixedLayout) {
  kiln::Mat m(ctx_.get(), kiln::QX_U8, {3, 5, 3}, kiln::KILN_MEM_HEAP);
  kiln::Mat share(m);
  const kiln::Buffer& b = m.GetBuffer();
  char data[32];
  char origin[32];
  std::snprintf(data, sizeof(data), "%p", b.data);
  std::snprintf(origin, sizeof(origin), "%p", b.origin);
  const std::string expected = std::string("\n") +
                               "=================== Info Start ===================\n"
                               "array type          : MAT\n"
                               "elem type           : U8\n"
                               "sizes               : 3x5x3(hwc)\n"
                               "strides             : 3x15(hw)\n"
                               "ref count           : 2\n"
                               "Total bytes         : 45\n"
                               "buffer              : Buffer:\n"
                               "  |- type           : Heap Buffer\n"
                               "  |- capacity       : 45\n"
                               "  |- size           : 45\n"
                               "  |- data           : " + data + "\n" +
                               "  |- origin         : " + origin + "\n" +
                               "  |- property       : 0\n"
                               "================= MAT Info End =================\n"
                               "\n";
  EXPECT_EQ(m.InfoText(), expected);

  kiln::ContextConfig config;
  config.log_mode = kiln::kLogModeAndroid;
  config.log_level = 2;
  config.wp_name = "INFO";
  kiln::Context loud(config);
  ASSERT_EQ(loud.Initialize(), 0);
  kiln::Mat printed(&loud, kiln::QX_F32, {2, 2, 1}, kiln::KILN_MEM_HEAP);
  testing::internal::CaptureStderr();
  printed.PrintInfo();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.find("D/kiln2.0: [kiln2.0] \n"
                     "D/kiln2.0: =================== Info Start ===================\n"
                     "D/kiln2.0: array type          : MAT\n"
                     "D/kiln2.0: elem type           : F32\n"
                     "D/kiln2.0: sizes               : 2x2x1(hwc)\n"
                     "D/kiln2.0: strides             : 2x8(hw)\n"),
            0u)
      << err;
  EXPECT_NE(err.find("D/kiln2.0: ================= MAT Info End =================\n"), std::string::npos);

  kiln::Mat empty;
  EXPECT_NE(empty.InfoText().find("ref count           : 0\n"), std::string::npos);
  EXPECT_NE(empty.InfoText().find("  |- type           : Invalid Buffer\n"), std::string::npos);
}

TEST_F(MatTest, ShapeHelpers_CompareTypeSizesAndChannels) {
  kiln::Mat a(ctx_.get(), kiln::QX_U8, {4, 4, 3}, kiln::KILN_MEM_HEAP);
  kiln::Mat b(ctx_.get(), kiln::QX_U8, {4, 4, 3}, kiln::KILN_MEM_HEAP, {0, 64});
  kiln::Mat c(ctx_.get(), kiln::QX_U16, {4, 4, 3}, kiln::KILN_MEM_HEAP);
  kiln::Mat d(ctx_.get(), kiln::QX_U8, {4, 4, 1}, kiln::KILN_MEM_HEAP);
  EXPECT_TRUE(a.SameShape(b)) << "the pitch is not part of the shape";
  EXPECT_FALSE(a.SameShape(c));
  EXPECT_FALSE(a.SameShape(d));
  EXPECT_TRUE(a.SameChannels(c));
  EXPECT_FALSE(a.SameChannels(d));
  EXPECT_EQ(a.AddRef(2), 3);
  EXPECT_EQ(a.AddRef(-2), 1);
}

}  // namespace
