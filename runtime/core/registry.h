// The numbered-object registry: one table per library that maps the program's object
// numbers to the library's records. Numbers 0, 1, 2 ... name static slots created on
// demand; OBJECT_ANY asks for a dynamic object whose number is the identity (address)
// of its record. Object numbers are as wide as an address.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr intptr_t OBJECT_ANY = -1;

// Frees one object of the library; it ends with registry_free of the number.
using registry_free_function = void (*)(intptr_t number);

// A dynamic object's node: two links, then the record.
struct registry_node {
  registry_node* next;      // next older node
  registry_node* previous;  // next newer node
};

struct object_registry {
  int32_t record_size;
  int32_t growth_step;  // also the initial slot count
  int32_t slot_count;
  void** slots;         // record of static number n, or null if never created
  registry_node* head;  // newest dynamic node
  registry_free_function free_function;
  int32_t enum_position;       // next static slot to look at
  registry_node* enum_cursor;  // next dynamic node to return
};

object_registry* registry_new(int32_t record_size, int32_t step, registry_free_function free_function);
// The record to fill for number, new or reused (a live object of that number is freed
// first). Null for a number that is neither OBJECT_ANY nor a slot index, or on failure.
// Static numbers and dynamic records never meet: a number whose grown slot array would
// cover a dynamic record's number is refused, and so is a dynamic record that would land
// among the slot indexes.
void* registry_create(object_registry* registry, intptr_t number);
// The record of a live object (first field non-zero), or null. A number that is neither a
// live slot nor a live dynamic record of this registry is unknown: null.
void* registry_lookup(object_registry* registry, intptr_t number);
// Forgets the object: a slot's record is zeroed and kept; a dynamic node is freed.
// Unknown numbers do nothing.
void registry_free(object_registry* registry, intptr_t number);
void* registry_find_dynamic(object_registry* registry, const void* record);
// Enumeration: static objects in increasing number, then dynamic ones oldest first.
void registry_first(object_registry* registry);
void* registry_next(object_registry* registry, intptr_t* number);
void registry_free_all(object_registry* registry);
// The number the program uses for a dynamic record.
inline intptr_t registry_dynamic_number(const void* record) { return reinterpret_cast<intptr_t>(record); }

// One zeroed state record per library, from the main heap; init runs on it right away.
void* library_state_new(size_t size, void (*init_function)(void* record));
template <class T>
inline T* library_state(T* record) {
  return record;
}
