#include <gtest/gtest.h>

#include "app/controls.h"

namespace brim {
namespace {

// The window patches only the lines the core says were replaced.
TEST(Memo, TakeReplacedSpanCoversEveryReplacementSinceTheLastTake) {
  Memo m;
  for (int i = 0; i < 10; ++i) m.Append(std::to_string(i));
  auto none = m.TakeReplacedSpan();
  EXPECT_GT(none.first, none.second);

  m.Replace(7, "a");
  m.Replace(3, "b");
  m.Replace(7, "c");
  m.Replace(42, "ignored");  // no such line
  EXPECT_EQ(m.TakeReplacedSpan(), (std::pair<size_t, size_t>{3, 7}));
  auto taken = m.TakeReplacedSpan();
  EXPECT_GT(taken.first, taken.second);

  m.Replace(5, "d");
  m.Clear();  // the view rewrites everything after a clear
  m.Append("x");
  auto afterClear = m.TakeReplacedSpan();
  EXPECT_GT(afterClear.first, afterClear.second);
}

}  // namespace
}  // namespace brim
