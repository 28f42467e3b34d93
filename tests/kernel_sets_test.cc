// Which kernel sets the tests run. Every test of values runs each set the processor can run, so
// a set left out of a build, or missed by the tool's own test of the processor, would make the
// suite test less without failing it. Here the processor is asked directly (cpuid, and xgetbv
// for the registers the system saves for a process), and the sets the tests run must be exactly
// the ones it has: on Windows under wine as natively.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <cpuid.h>
#include <immintrin.h>

namespace mirtak::test {
namespace {

struct CpuidLeaf {
  unsigned eax, ebx, ecx, edx;
};

CpuidLeaf cpuid(unsigned leaf, unsigned subleaf) {
  CpuidLeaf r{};
  if (__get_cpuid_count(leaf, subleaf, &r.eax, &r.ebx, &r.ecx, &r.edx) == 0) return {};
  return r;
}

bool all_set(unsigned word, std::initializer_list<unsigned> bits) {
  return std::all_of(bits.begin(), bits.end(),
                     [word](unsigned bit) { return (word >> bit & 1u) != 0; });
}

// The register state the system saves and restores for each process (XCR0); none where the
// system does not say (OSXSAVE, leaf 1 ECX bit 27).
__attribute__((target("xsave"))) unsigned long long saved_state() {
  return all_set(cpuid(1, 0).ecx, {27}) ? _xgetbv(0) : 0;
}

std::vector<std::string> sets_this_processor_runs() {
  const CpuidLeaf leaf7 = cpuid(7, 0);
  const unsigned long long state = saved_state();
  const bool ymm_saved = (state & 0x06) == 0x06;               // XMM and the upper halves of YMM
  const bool zmm_saved = ymm_saved && (state & 0xE0) == 0xE0;  // opmasks, upper ZMM, ZMM16-31
  std::vector<std::string> sets;
  const bool popcnt = all_set(cpuid(1, 0).ecx, {23});
  // BMI1, F, DQ, CD, BW, VL in EBX; VBMI, VBMI2 in ECX.
  if (zmm_saved && popcnt && all_set(leaf7.ebx, {3, 16, 17, 28, 30, 31}) &&
      all_set(leaf7.ecx, {1, 6}))
    sets.emplace_back("avx512");
  // BMI1, AVX2 in EBX.
  if (ymm_saved && popcnt && all_set(leaf7.ebx, {3, 5})) sets.emplace_back("avx2");
  // SSSE3, SSE4.1, SSE4.2, POPCNT in ECX; the XMM registers are saved by every x86 system.
  if (all_set(cpuid(1, 0).ecx, {9, 19, 20, 23})) sets.emplace_back("sse4");
  sets.emplace_back("portable");
  sets.emplace_back("plain");
  return sets;
}

TEST(KernelSets, TestsRunEverySetTheProcessorHas) {
  const std::vector<const KernelSet*> sets = available_kernel_sets();
  std::vector<std::string> tested(sets.size());
  std::transform(sets.begin(), sets.end(), tested.begin(),
                 [](const KernelSet* set) { return set->name; });
  EXPECT_EQ(tested, sets_this_processor_runs());
}

}  // namespace
}  // namespace mirtak::test

#endif
