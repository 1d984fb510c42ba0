#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "runtime/core/platform.h"
#include "runtime/core/registry.h"
#include "runtime/core/runtime.h"

namespace {

// A library's object record as the registry sees it: a main handle first, then data.
struct test_record {
  void* handle;
  int32_t value;
  char name[20];
};

// What the free function was called with, in order, and the registry it frees from.
object_registry* freeing_registry;
std::vector<intptr_t> freed_numbers;
intptr_t parent_number, child_number;  // freeing the parent frees the child along

// A library's free function: release the object, then forget it in the registry.
void free_object(intptr_t number) {
  freed_numbers.push_back(number);
  registry_free(freeing_registry, number);
  if (number == parent_number && child_number) free_object(std::exchange(child_number, 0));
}

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    runtime_start();
    freed_numbers.clear();
    parent_number = child_number = 0;
    registry = registry_new(sizeof(test_record), 16, free_object);
    ASSERT_NE(nullptr, registry);
    freeing_registry = registry;
  }
  void TearDown() override {
    freeing_registry = nullptr;
    runtime_end_libraries();
  }

  // Creates and fills an object, as a library's creation function does.
  test_record* make(intptr_t number, int32_t value) {
    auto* record = static_cast<test_record*>(registry_create(registry, number));
    if (record) {
      record->handle = record;
      record->value = value;
    }
    return record;
  }

  int dynamic_count() const {
    int count = 0;
    for (registry_node* node = registry->head; node; node = node->next) ++count;
    return count;
  }

  object_registry* registry = nullptr;
};

bool all_zero(const void* block, size_t size) {
  for (size_t i = 0; i < size; ++i)
    if (static_cast<const unsigned char*>(block)[i]) return false;
  return true;
}

TEST_F(Registry, SlotsAreMadeOnDemandAndGrowByTheStep) {
  EXPECT_EQ(16, registry->slot_count) << "a new registry has one step of slots";
  void* zero = registry_create(registry, 0);
  ASSERT_NE(nullptr, zero);
  EXPECT_TRUE(all_zero(zero, sizeof(test_record)));
  EXPECT_EQ(zero, registry->slots[0]);

  // A number at the slot count or beyond grows the array to number + step; the last slot
  // index is inside.
  const struct {
    intptr_t number;
    int32_t slot_count;
  } growth[] = {{20, 36}, {100, 116}, {115, 116}, {116, 132}};
  test_record* twenty = nullptr;
  for (const auto& g : growth) {
    test_record* record = make(g.number, 1);
    ASSERT_NE(nullptr, record) << "number " << g.number;
    if (!twenty) twenty = record;
    EXPECT_EQ(g.slot_count, registry->slot_count) << "number " << g.number;
    EXPECT_EQ(twenty, registry_lookup(registry, 20)) << "growth keeps existing records; number " << g.number;
  }
  EXPECT_EQ(zero, registry->slots[0]);
  for (int i = 1; i < 132; ++i)
    if (i != 20 && i != 100 && i != 115 && i != 116) {
      EXPECT_EQ(nullptr, registry->slots[i]) << "only the numbers created get a record; slot " << i;
    }

  object_registry* tight = registry_new(sizeof(test_record), 1, nullptr);
  ASSERT_NE(nullptr, tight);
  EXPECT_NE(nullptr, registry_create(tight, 1));
  EXPECT_EQ(2, tight->slot_count) << "a step of one grows to just past the number";
}

TEST_F(Registry, RecreatingALiveNumberFreesItOnceAndReusesTheRecord) {
  test_record* first = make(3, 7);
  ASSERT_NE(nullptr, first);
  std::strcpy(first->name, "alt");
  EXPECT_TRUE(freed_numbers.empty());

  auto* second = static_cast<test_record*>(registry_create(registry, 3));
  ASSERT_EQ(1u, freed_numbers.size());
  EXPECT_EQ(3, freed_numbers[0]);
  EXPECT_EQ(first, second);
  EXPECT_TRUE(all_zero(second, sizeof(test_record))) << "the record to fill starts empty";
  EXPECT_EQ(nullptr, registry_lookup(registry, 3)) << "not live until filled";
}

TEST_F(Registry, FreedStaticRecordIsKeptClearedAndReusedWithoutTheFreeFunction) {
  test_record* record = make(2, 99);
  ASSERT_NE(nullptr, record);
  registry_free(registry, 2);
  EXPECT_EQ(nullptr, registry_lookup(registry, 2));
  EXPECT_EQ(record, registry->slots[2]) << "the block stays in its slot";
  EXPECT_TRUE(all_zero(record, sizeof(test_record)));

  EXPECT_EQ(record, registry_create(registry, 2));
  EXPECT_TRUE(freed_numbers.empty()) << "nothing live to free";

  // A record created but never filled is absent too, and re-creating it hands it back
  // empty even if the failed creation left data behind its first field.
  auto* half = static_cast<test_record*>(registry_create(registry, 4));
  ASSERT_NE(nullptr, half);
  half->value = 1234;
  EXPECT_EQ(nullptr, registry_lookup(registry, 4));
  EXPECT_EQ(half, registry_create(registry, 4));
  EXPECT_EQ(0, half->value);
  EXPECT_TRUE(freed_numbers.empty());
}

TEST_F(Registry, DynamicObjectsAreNamedByTheirRecord) {
  test_record* d1 = make(OBJECT_ANY, 1);
  test_record* d2 = make(OBJECT_ANY, 2);
  ASSERT_NE(nullptr, d1);
  ASSERT_NE(nullptr, d2);
  EXPECT_NE(d1, d2);
  EXPECT_EQ(d1, registry_lookup(registry, registry_dynamic_number(d1)));
  EXPECT_EQ(d2, registry_lookup(registry, registry_dynamic_number(d2)));
  EXPECT_EQ(d1, registry_find_dynamic(registry, d1));
  EXPECT_EQ(2, dynamic_count());

  // A dynamic record whose handle is still 0 is not found by lookup, but is still ours.
  auto* empty = static_cast<test_record*>(registry_create(registry, OBJECT_ANY));
  ASSERT_NE(nullptr, empty);
  EXPECT_EQ(nullptr, registry_lookup(registry, registry_dynamic_number(empty)));
  EXPECT_EQ(empty, registry_find_dynamic(registry, empty));

  // Unlinking the middle, the newest and the oldest node keeps the others reachable.
  registry_free(registry, registry_dynamic_number(d2));
  EXPECT_EQ(nullptr, registry_find_dynamic(registry, d2));
  EXPECT_EQ(d1, registry_lookup(registry, registry_dynamic_number(d1)));
  EXPECT_EQ(empty, registry_find_dynamic(registry, empty));
  registry_free(registry, registry_dynamic_number(empty));
  EXPECT_EQ(d1, registry_lookup(registry, registry_dynamic_number(d1)));
  EXPECT_EQ(nullptr, registry->head->previous) << "the new head has no newer node";
  registry_free(registry, registry_dynamic_number(d1));
  EXPECT_EQ(nullptr, registry->head);
}

TEST_F(Registry, EnumerationGivesStaticNumbersUpwardThenDynamicOldestFirst) {
  intptr_t number = 77;
  registry_first(registry);
  EXPECT_EQ(nullptr, registry_next(registry, &number)) << "an empty registry ends at once";
  EXPECT_EQ(77, number) << "no number written";

  make(5, 5);
  make(2, 2);
  registry_create(registry, 3);  // created but not filled: skipped
  test_record* d1 = make(OBJECT_ANY, 11);
  // A dynamic record is listed even before its handle is set, so that the end step
  // frees its node too.
  auto* d2 = static_cast<test_record*>(registry_create(registry, OBJECT_ANY));
  make(40, 40);

  const intptr_t expected[] = {2, 5, 40, registry_dynamic_number(d1), registry_dynamic_number(d2)};
  registry_first(registry);
  for (intptr_t want : expected) {
    void* record = registry_next(registry, &number);
    ASSERT_NE(nullptr, record) << "expected number " << want;
    EXPECT_EQ(want, number);
    if (want != registry_dynamic_number(d2)) {
      EXPECT_EQ(registry_lookup(registry, number), record);
    }
  }
  EXPECT_EQ(nullptr, registry_next(registry, &number));
  EXPECT_EQ(nullptr, registry_next(registry, &number)) << "stays at the end";

  // A second pass starts over.
  registry_first(registry);
  EXPECT_NE(nullptr, registry_next(registry, &number));
  EXPECT_EQ(2, number);
}

// Every object is freed in enumeration order, once, even when the free function also
// frees the object enumerated next: the enumeration must not return, or even read, that node.
TEST_F(Registry, FreeAllFreesEveryObjectInEnumerationOrder) {
  make(5, 5);
  make(2, 2);
  test_record* d[3] = {make(OBJECT_ANY, 1), make(OBJECT_ANY, 2), make(OBJECT_ANY, 3)};
  ASSERT_TRUE(d[0] && d[1] && d[2]);
  const std::vector<intptr_t> expected = {2, 5, registry_dynamic_number(d[0]), registry_dynamic_number(d[1]),
                                          registry_dynamic_number(d[2])};
  parent_number = expected[2];
  child_number = expected[3];  // freed with d[0], while it is the cursor

  registry_free_all(registry);
  EXPECT_EQ(expected, freed_numbers) << "d[1] freed once, along with d[0]";
  EXPECT_EQ(nullptr, registry_lookup(registry, 2));
  EXPECT_EQ(nullptr, registry_lookup(registry, 5));
  EXPECT_EQ(nullptr, registry->head) << "every dynamic node is released";

  freed_numbers.clear();
  registry_free_all(registry);
  EXPECT_TRUE(freed_numbers.empty()) << "nothing left to free";
}

TEST_F(Registry, FreeAllWithoutAFreeFunctionDoesNothing) {
  registry->free_function = nullptr;
  test_record* one = make(1, 1);
  test_record* dyn = make(OBJECT_ANY, 2);
  ASSERT_TRUE(one && dyn);
  registry_free_all(registry);
  EXPECT_EQ(one, registry_lookup(registry, 1));
  EXPECT_EQ(dyn, registry_lookup(registry, registry_dynamic_number(dyn)));

  // Without a free function, re-creating a live number just hands the record back empty.
  EXPECT_EQ(one, registry_create(registry, 1));
  EXPECT_EQ(nullptr, registry_lookup(registry, 1));
}

// Numbers that name nothing in this registry must never be followed as addresses: every
// entry point answers "unknown" and leaves the live objects alone. Run under the
// address sanitizer, a read through any of them is a failure.
TEST_F(Registry, UnknownNumbersAreAnsweredAsUnknownEverywhere) {
  test_record* kept_static = make(1, 1);
  test_record* kept_dynamic = make(OBJECT_ANY, 2);
  test_record* stale = make(OBJECT_ANY, 3);
  ASSERT_TRUE(kept_static && kept_dynamic && stale);
  const intptr_t stale_number = registry_dynamic_number(stale);
  registry_free(registry, stale_number);

  object_registry* other = registry_new(sizeof(test_record), 4, nullptr);
  ASSERT_NE(nullptr, other);
  auto* foreign = static_cast<test_record*>(registry_create(other, OBJECT_ANY));
  ASSERT_NE(nullptr, foreign);
  foreign->handle = foreign;

  test_record on_stack{};
  on_stack.handle = &on_stack;
  auto* freed_block = static_cast<test_record*>(main_heap_alloc(sizeof(test_record)));
  ASSERT_NE(nullptr, freed_block);
  freed_block->handle = freed_block;
  main_heap_free(freed_block);

  const struct {
    intptr_t number;
    const char* what;
  } unknown[] = {
      {stale_number, "freed dynamic object"},
      {registry_dynamic_number(foreign), "another registry's dynamic object"},
      {reinterpret_cast<intptr_t>(&on_stack), "forged: a record-like block on the stack"},
      {reinterpret_cast<intptr_t>(freed_block), "forged: a freed heap block"},
      {-2, "negative"},
      {INTPTR_MIN, "most negative"},
      {16, "the slot count itself, never created"},
      {1000, "far beyond the slot count"},
      {INTPTR_MAX, "largest"},
      {reinterpret_cast<intptr_t>(kept_dynamic) + 1, "inside a live record"},
      {reinterpret_cast<intptr_t>(kept_dynamic) - static_cast<intptr_t>(sizeof(registry_node)), "a live record's node"},
  };
  for (const auto& u : unknown) {
    SCOPED_TRACE(u.what);
    EXPECT_EQ(nullptr, registry_lookup(registry, u.number));
    EXPECT_EQ(nullptr, registry_find_dynamic(registry, reinterpret_cast<const void*>(u.number)));
    registry_free(registry, u.number);
    EXPECT_EQ(kept_static, registry_lookup(registry, 1));
    EXPECT_EQ(kept_dynamic, registry_lookup(registry, registry_dynamic_number(kept_dynamic)));
    EXPECT_EQ(1, dynamic_count());
    if (u.number < OBJECT_ANY) {
      EXPECT_EQ(nullptr, registry_create(registry, u.number));
    }
  }
  // A static slot with a live dynamic object's number would hide that object from lookup.
  EXPECT_EQ(nullptr, registry_create(registry, registry_dynamic_number(kept_dynamic)));
  EXPECT_EQ(2, kept_dynamic->value) << "the live object is not touched";
  EXPECT_TRUE(freed_numbers.empty());
  EXPECT_EQ(16, registry->slot_count) << "no lookup, free or refused creation grows the table";
  EXPECT_EQ(foreign, registry_lookup(other, registry_dynamic_number(foreign))) << "the other registry is untouched";
  EXPECT_EQ(&on_stack, on_stack.handle) << "the stack record was only compared, never cleared";

  // Enumeration never sees the stale object.
  std::vector<intptr_t> seen;
  intptr_t number = 0;
  registry_first(registry);
  while (registry_next(registry, &number)) seen.push_back(number);
  const std::vector<intptr_t> expected = {1, registry_dynamic_number(kept_dynamic)};
  EXPECT_EQ(expected, seen);
}

// Dynamic records where static numbers can reach them, as on a 32-bit system: the native
// heap places blocks low on request; Windows heaps lie there anyway (else: skipped).
class RegistryLowRecords : public Registry {
 protected:
  void SetUp() override {
    Registry::SetUp();
    if (!low_blocks(true)) GTEST_SKIP() << "no low memory could be mapped";
    low_blocks(false);
  }
  void TearDown() override {
    low_blocks(false);
    Registry::TearDown();
  }
  static bool low_blocks([[maybe_unused]] bool on) {
#ifdef _WIN32
    return true;
#else
    return posix_kernel_low_heap_blocks(on);
#endif
  }
  test_record* make_low(intptr_t number, int32_t value) {
    low_blocks(true);
    test_record* record = make(number, value);
    low_blocks(false);
    return record;
  }
  // A slot array this long (16 MiB of slots on a 32-bit build) still fits the heap
  // comfortably, under emulation too.
  static constexpr intptr_t kReachable = intptr_t{1} << 22;
};

TEST_F(RegistryLowRecords, StaticNumberWhoseSlotsWouldCoverADynamicRecordIsRefused) {
  test_record* dynamic = make_low(OBJECT_ANY, 7);
  ASSERT_NE(nullptr, dynamic);
  const intptr_t d = registry_dynamic_number(dynamic);
  if (d >= kReachable) GTEST_SKIP() << "dynamic records lie at " << d;
  // Growing to number + 16 slots: each of these would make d a slot index.
  const struct {
    intptr_t number;
    const char* what;
  } refused[] = {{d, "the record's own number"}, {d - 1, "just below it"}, {d - 15, "the step's last slot"}};
  for (const auto& r : refused) {
    EXPECT_EQ(nullptr, registry_create(registry, r.number)) << r.what;
    EXPECT_EQ(16, registry->slot_count) << r.what;
    EXPECT_EQ(dynamic, registry_lookup(registry, d)) << r.what << ": the dynamic object stays reachable";
  }
  // Slots that end just below the record are fine.
  test_record* below = make(d - 16, 1);
  ASSERT_NE(nullptr, below);
  EXPECT_EQ(d, registry->slot_count);
  EXPECT_EQ(below, registry_lookup(registry, d - 16));
  EXPECT_EQ(dynamic, registry_lookup(registry, d));
  EXPECT_EQ(7, dynamic->value);
  EXPECT_TRUE(freed_numbers.empty());
}

TEST_F(RegistryLowRecords, DynamicRecordThatWouldLandAmongTheSlotsIsRefused) {
  test_record* probe = make_low(OBJECT_ANY, 1);
  ASSERT_NE(nullptr, probe);
  const intptr_t p = registry_dynamic_number(probe);
  if (p >= kReachable) GTEST_SKIP() << "dynamic records lie at " << p;
  registry_free(registry, p);
  // The slots now reach well past where the next low record goes.
  ASSERT_NE(nullptr, make(p + 4096, 2));
  EXPECT_EQ(nullptr, make_low(OBJECT_ANY, 3)) << "its number would read as a slot index";
  EXPECT_EQ(0, dynamic_count());
  test_record* high = make(OBJECT_ANY, 4);
  if (high) {
    EXPECT_EQ(high, registry_lookup(registry, registry_dynamic_number(high))) << "other records still come";
  }
}

TEST_F(Registry, NumbersBeyondTheSlotCountRangeAreRefused) {
  // The slot count is 32-bit: a number whose growth would pass it fails cleanly.
  EXPECT_EQ(nullptr, registry_create(registry, INT32_MAX));
  EXPECT_EQ(nullptr, registry_create(registry, INT32_MAX - 15));
#if INTPTR_MAX > INT32_MAX
  EXPECT_EQ(nullptr, registry_create(registry, static_cast<intptr_t>(1) << 40));
  EXPECT_EQ(nullptr, registry_create(registry, INTPTR_MAX));
#endif
  EXPECT_EQ(16, registry->slot_count);
  EXPECT_NE(nullptr, make(0, 1)) << "the registry still works";
}

TEST_F(Registry, BadArgumentsFailWithoutACrash) {
  EXPECT_EQ(nullptr, registry_new(sizeof(test_record), 0, nullptr)) << "a zero step cannot grow";
  EXPECT_EQ(nullptr, registry_new(sizeof(test_record), -4, nullptr));
  EXPECT_EQ(nullptr, registry_new(0, 16, nullptr)) << "no room for the handle";
  EXPECT_EQ(nullptr, registry_new(-8, 16, nullptr));
  EXPECT_NE(nullptr, registry_new(sizeof(void*), 1, nullptr));

  intptr_t number = 3;
  EXPECT_EQ(nullptr, registry_create(nullptr, 0));
  EXPECT_EQ(nullptr, registry_create(nullptr, OBJECT_ANY));
  EXPECT_EQ(nullptr, registry_lookup(nullptr, 0));
  registry_free(nullptr, 0);
  EXPECT_EQ(nullptr, registry_find_dynamic(nullptr, &number));
  EXPECT_EQ(nullptr, registry_find_dynamic(registry, nullptr));
  registry_first(nullptr);
  EXPECT_EQ(nullptr, registry_next(nullptr, &number));
  EXPECT_EQ(3, number);
  registry_free_all(nullptr);

  make(0, 1);
  registry_first(registry);
  EXPECT_NE(nullptr, registry_next(registry, nullptr)) << "the number is optional";
}

// Library state records.
int init_calls;
void* init_seen;
void init_state(void* record) {
  ++init_calls;
  init_seen = record;
  static_cast<int32_t*>(record)[1] = 42;
}

TEST_F(Registry, LibraryStateIsZeroedAndInitialisedOnce) {
  init_calls = 0;
  init_seen = nullptr;
  auto* state = static_cast<int32_t*>(library_state_new(64, init_state));
  ASSERT_NE(nullptr, state);
  EXPECT_EQ(1, init_calls);
  EXPECT_EQ(state, init_seen);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(i == 1 ? 42 : 0, state[i]) << "word " << i;

  auto* bare = static_cast<int32_t*>(library_state_new(16, nullptr));
  ASSERT_NE(nullptr, bare);
  EXPECT_TRUE(all_zero(bare, 16));
  EXPECT_EQ(1, init_calls);
}

}  // namespace
