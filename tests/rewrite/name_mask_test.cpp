#include <gtest/gtest.h>

#include <string>

#include "rewrite/name_mask.h"
#include "support/scripted_desktop.h"
#include "support/test_files.h"

namespace brim {
namespace {

using test::J;

TEST(NameMask, LastByteBecomesDollarAndMethodIdTakesFiveBytes) {
  test::ScriptedDesktop d;
  ProgramState s(d);
  SetNameMask(s, "c");
  EXPECT_EQ(s.NameMask, "$");
  SetNameMask(s, "txt");
  EXPECT_EQ(s.NameMask, "tx$");
  SetNameMask(s, "");
  EXPECT_EQ(s.NameMask, "");
  SetNameMask(s, J("表"));
  EXPECT_EQ(s.NameMask, "\x95$");
  SetMethodId(s, "-lh0-");
  EXPECT_EQ(std::string(s.MethodId.begin(), s.MethodId.end()), "-lh0-");
}

}  // namespace
}  // namespace brim
