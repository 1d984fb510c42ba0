// The numbered-object registry and the library state records. Every block here comes
// from the main heap; registries themselves live until the heap goes.
#include "runtime/core/registry.h"

#include <cstring>

#include "runtime/core/runtime.h"

namespace {

// The record sits right behind its node's two links.
void* node_record(registry_node* node) { return reinterpret_cast<char*>(node) + sizeof(registry_node); }

// The first field of every record is its main handle; 0 means "no object yet".
bool record_is_live(const void* record) { return *static_cast<void* const*>(record) != nullptr; }

bool is_slot_index(const object_registry* registry, intptr_t number) {
  return number >= 0 && number < registry->slot_count;
}

// The node of a live dynamic record of this registry, or null. The number is only ever
// compared with the records of the list, never followed: a stale or forged number must
// not be read.
registry_node* find_node(const object_registry* registry, const void* record) {
  for (registry_node* node = registry->head; node; node = node->next)
    if (node_record(node) == record) return node;
  return nullptr;
}

void unlink_node(object_registry* registry, registry_node* node) {
  if (node->previous)
    node->previous->next = node->next;
  else
    registry->head = node->next;
  if (node->next) node->next->previous = node->previous;
  // An enumeration in progress must not be left holding a freed node: a free function
  // may well free another dynamic object than the one it was called for.
  if (registry->enum_cursor == node) registry->enum_cursor = node->previous;
}

// True when a dynamic record's number lies below count, where lookup would read it as a
// slot index and so never reach the record.
bool dynamic_number_below(const object_registry* registry, int64_t count) {
  for (registry_node* node = registry->head; node; node = node->next) {
    intptr_t number = registry_dynamic_number(node_record(node));
    if (number >= 0 && number < count) return true;
  }
  return false;
}

// Grows the slot array so that number becomes a slot index; false (nothing changed) when
// the slot count would leave its 32-bit range, when the grown array would cover the number
// of a dynamic record (not just the number asked for: the step beyond it too), or when
// the heap refuses.
bool grow_slots(object_registry* registry, intptr_t number) {
  // Compared before the sum is made: on 64-bit a number near INTPTR_MAX would overflow it.
  if (number > INT32_MAX - registry->growth_step) return false;
  int64_t count = static_cast<int64_t>(number) + registry->growth_step;
  if (dynamic_number_below(registry, count)) return false;
  if (static_cast<uint64_t>(count) > SIZE_MAX / sizeof(void*)) return false;
  void* slots = main_heap_realloc(registry->slots, static_cast<size_t>(count) * sizeof(void*));
  if (!slots) return false;
  registry->slots = static_cast<void**>(slots);
  registry->slot_count = static_cast<int32_t>(count);
  return true;
}

}  // namespace

object_registry* registry_new(int32_t record_size, int32_t step, registry_free_function free_function) {
  // The record's first field is a pointer-sized handle, and a step below 1 would never
  // make room for the number asked for.
  if (record_size < static_cast<int32_t>(sizeof(void*)) || step < 1) return nullptr;
  if (static_cast<uint64_t>(step) > SIZE_MAX / sizeof(void*)) return nullptr;
  auto* registry = static_cast<object_registry*>(main_heap_alloc(sizeof(object_registry)));
  if (!registry) return nullptr;
  registry->slots = static_cast<void**>(main_heap_alloc(static_cast<size_t>(step) * sizeof(void*)));
  if (!registry->slots) {
    main_heap_free(registry);
    return nullptr;
  }
  registry->record_size = record_size;
  registry->growth_step = step;
  registry->slot_count = step;
  registry->free_function = free_function;
  return registry;
}

void* registry_create(object_registry* registry, intptr_t number) {
  if (!registry) return nullptr;
  if (number == OBJECT_ANY) {
    auto* node = static_cast<registry_node*>(
        main_heap_alloc(sizeof(registry_node) + static_cast<size_t>(registry->record_size)));
    if (!node) return nullptr;
    // The other way round: a record whose address falls among the slot indexes could
    // never be looked up by its number. Refused like a failed allocation.
    if (is_slot_index(registry, registry_dynamic_number(node_record(node)))) {
      main_heap_free(node);
      return nullptr;
    }
    node->next = registry->head;
    node->previous = nullptr;
    if (registry->head) registry->head->previous = node;
    registry->head = node;
    return node_record(node);
  }
  if (number < 0) return nullptr;
  if (number >= registry->slot_count) {
    // A dynamic object's number is its record's address, which the slot array must never
    // come to cover: a static slot of that number would hide the dynamic object.
    if (!grow_slots(registry, number)) return nullptr;
  }
  void* record = registry->slots[number];
  if (record) {
    if (record_is_live(record) && registry->free_function) {
      registry->free_function(number);
      // The free function may have created other numbers and so moved the slot array.
      if (number >= registry->slot_count) return nullptr;
      record = registry->slots[number];
    }
    // The caller fills a fresh record; whatever a half-made or badly freed object left
    // behind must not look like part of the new one.
    if (record) std::memset(record, 0, static_cast<size_t>(registry->record_size));
  }
  if (!record) {
    record = main_heap_alloc(static_cast<size_t>(registry->record_size));
    if (!record) return nullptr;
    registry->slots[number] = record;
  }
  return record;
}

void* registry_lookup(object_registry* registry, intptr_t number) {
  if (!registry) return nullptr;
  void* record;
  if (is_slot_index(registry, number)) {
    record = registry->slots[number];
  } else {
    registry_node* node = find_node(registry, reinterpret_cast<const void*>(number));
    record = node ? node_record(node) : nullptr;
  }
  if (!record || !record_is_live(record)) return nullptr;
  return record;
}

void registry_free(object_registry* registry, intptr_t number) {
  if (!registry) return;
  if (is_slot_index(registry, number)) {
    if (void* record = registry->slots[number]) std::memset(record, 0, static_cast<size_t>(registry->record_size));
    return;
  }
  registry_node* node = find_node(registry, reinterpret_cast<const void*>(number));
  if (!node) return;
  unlink_node(registry, node);
  main_heap_free(node);
}

void* registry_find_dynamic(object_registry* registry, const void* record) {
  if (!registry || !record) return nullptr;
  return find_node(registry, record) ? const_cast<void*>(record) : nullptr;
}

void registry_first(object_registry* registry) {
  if (!registry) return;
  registry->enum_position = 0;
  registry_node* oldest = registry->head;
  while (oldest && oldest->next) oldest = oldest->next;
  registry->enum_cursor = oldest;
}

void* registry_next(object_registry* registry, intptr_t* number) {
  if (!registry) return nullptr;
  while (registry->enum_position >= 0 && registry->enum_position < registry->slot_count) {
    int32_t index = registry->enum_position++;
    void* record = registry->slots[index];
    if (record && record_is_live(record)) {
      if (number) *number = index;
      return record;
    }
  }
  registry_node* node = registry->enum_cursor;
  if (!node) return nullptr;
  registry->enum_cursor = node->previous;
  void* record = node_record(node);
  if (number) *number = registry_dynamic_number(record);
  return record;
}

void registry_free_all(object_registry* registry) {
  if (!registry || !registry->free_function) return;
  registry_first(registry);
  intptr_t number = 0;
  while (registry_next(registry, &number)) registry->free_function(number);
}

void* library_state_new(size_t size, void (*init_function)(void* record)) {
  void* record = main_heap_alloc(size);
  if (record && init_function) init_function(record);
  return record;
}
