// The rasterizer behind the screen and the pictures: clipping, the quarter turn, the cursor and
// the PNG's layout.
#include "charts/raster_canvas.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);

TEST(RasterCanvas, DrawsInsideAndClipsEverythingElse) {
  RasterCanvas c(10, 6);
  c.FillRect(-5, -5, 3, 2, kRed);
  EXPECT_EQ(c.PixelAt(0, 0), kRed);
  EXPECT_EQ(c.PixelAt(2, 1), kRed);
  EXPECT_EQ(c.PixelAt(3, 1), kChartBackground);
  EXPECT_EQ(c.PixelAt(2, 2), kChartBackground);
  c.Line(-100000, 5, 100000, 5, kChartGrid);  // far off both ends: clipped, and quick
  for (int x = 0; x < 10; ++x) EXPECT_EQ(c.PixelAt(x, 5), kChartGrid);
  c.InvertColumn(9, 0, 5);
  EXPECT_EQ(c.PixelAt(9, 0), RGB(0, 0, 0));
  EXPECT_EQ(c.PixelAt(9, 5), RGB(105, 105, 105));
  c.InvertColumn(9, 0, 5);
  EXPECT_EQ(c.PixelAt(9, 5), kChartGrid) << "a second inversion erases the cursor";
}

TEST(RasterCanvas, RotatedCanvasTurnsTheDrawingAQuarterClockwise) {
  RasterCanvas c(6, 10, true);
  EXPECT_EQ(c.width(), 10);
  EXPECT_EQ(c.height(), 6);
  c.Line(0, 0, 3, 0, kRed);  // along the drawing's top edge
  for (int y = 0; y <= 3; ++y) EXPECT_EQ(c.PixelAt(5, y), kRed) << y;
  EXPECT_EQ(c.PixelAt(5, 4), kChartBackground);
  EXPECT_EQ(c.PixelAt(0, 0), kChartBackground);
}

TEST(RasterCanvas, TextAndPieSlicesLandWhereAsked) {
  RasterCanvas c(40, 40);
  c.Text(20, 0, "I", kRed, TextAlign::kCenter);
  // 'I' is a column at the glyph's middle: x 20 - 2 + 2.
  EXPECT_EQ(c.PixelAt(20, 1), kRed);
  EXPECT_EQ(c.PixelAt(20, 7), kRed);
  EXPECT_EQ(c.PixelAt(20, 8), kChartBackground);
  c.PieSlice(20, 25, 10, 0, 90, kChartHigh);  // the upper right quarter
  EXPECT_EQ(c.PixelAt(25, 20), kChartHigh);
  EXPECT_EQ(c.PixelAt(15, 20), kChartBackground);
  EXPECT_EQ(c.PixelAt(25, 30), kChartBackground);
}

TEST(RasterCanvas, PngIsRgbWithStoredBlocks) {
  RasterCanvas c(2, 1);
  c.FillRect(1, 0, 2, 1, kRed);
  const std::string png = EncodePng(c);
  const unsigned char head[] = {
      0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A,  // signature
      0,    0,   0,   13,  'I',  'H',  'D',  'R',   // IHDR, 13 bytes
      0,    0,   0,   2,   0,    0,    0,    1,     // 2 x 1
      8,    2,   0,   0,   0};                      // 8 bits, RGB, deflate, filter 0, no interlace
  ASSERT_GT(png.size(), sizeof head);
  EXPECT_EQ(png.compare(0, sizeof head, reinterpret_cast<const char*>(head), sizeof head), 0);
  // IDAT after IHDR's CRC: zlib header, one final stored block of 7 bytes (filter byte and two
  // RGB pixels), the row, then the Adler-32 of the row.
  const std::size_t idat = 8 + 25;
  const unsigned char body[] = {0, 0,   0,   2 + 5 + 7 + 4, 'I',  'D', 'A', 'T', 0x78, 0x01,
                                1, 7,   0,   0xF8,          0xFF,  // final, LEN 7, NLEN
                                0, 255, 255, 255,           255,  0,   0};
  EXPECT_EQ(png.compare(idat, sizeof body, reinterpret_cast<const char*>(body), sizeof body), 0);
  // Adler-32 of 00 FF FF FF FF 00 00: a = 1 + 1020 = 1021, b = 1 + 256 + 511 + 766 + 1021 x 3.
  const std::size_t adler = idat + sizeof body;
  const unsigned b = 1 + 256 + 511 + 766 + 1021 * 3;
  EXPECT_EQ(static_cast<unsigned char>(png[adler]), (b >> 8) & 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(png[adler + 1]), b & 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(png[adler + 2]), (1021 >> 8) & 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(png[adler + 3]), 1021 & 0xFF);
  EXPECT_EQ(png.substr(png.size() - 12), std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12));
}

}  // namespace
}  // namespace quillet
