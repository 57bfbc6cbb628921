#include <gtest/gtest.h>

#include "platform/surface.h"

namespace {

TEST(Surface, NativeSurfacesKeepTheirRowsTopDownWhateverTheHeightSays) {
  for (int32_t height : {768, -768}) {
    FrameSurface* s = CreateFrameSurface(nullptr, 1024, height, 32);
    EXPECT_EQ(s->stride, 4096) << height;
    EXPECT_EQ(s->bits, static_cast<uint8_t*>(s->bitmap)) << height;
    ReleaseFrameSurface(s);
  }
}

}  // namespace
