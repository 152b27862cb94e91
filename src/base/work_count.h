// Running counts of the work the searches and plans do, so a test can check
// how the work grows with a hostile input without timing anything.
#pragma once
#include <cstdint>

namespace brim::work {

// Bytes read from files (every FileStream read).
inline thread_local uint64_t bytesRead = 0;
// Steps of the searches and plans that look at bytes already held: chain
// records followed, header bytes summed, plan writes compared.
inline thread_local uint64_t steps = 0;

}  // namespace brim::work
