// What a clone may lack: the sample corpus and the archivers the tests run.
// A test that needs one skips with a note naming it instead of failing.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "support/test_files.h"

namespace brim::test {

// True when the program is on PATH. When it is not, the running test is
// marked skipped with a note; the caller leaves out what needs the program
// and the rest of the test still runs (a failure there still fails it).
inline bool Installed(const std::string& program) {
  if (OnPath(program)) return true;
  [&] { GTEST_SKIP() << program << " is not installed: the checks that need it are left out"; }();
  return false;
}

}  // namespace brim::test

// First line of a test that reads the sample corpus.
#define BRIMLODE_NEEDS_CORPUS()                \
  if (!::brim::test::CorpusPresent())          \
  GTEST_SKIP() << "no sample corpus at " BRIMLODE_CORPUS_DIR

// Leaves the test (or the helper) when a program it cannot do without is missing.
#define BRIMLODE_NEEDS(program) \
  if (!::brim::test::Installed(program)) return
