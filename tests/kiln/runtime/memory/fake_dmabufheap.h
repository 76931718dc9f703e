// The test stand-in for Android's libdmabufheap.so: its state record.
#ifndef TESTS_KILN_RUNTIME_MEMORY_FAKE_DMABUFHEAP_H_
#define TESTS_KILN_RUNTIME_MEMORY_FAKE_DMABUFHEAP_H_

#include <cstddef>

extern "C" {

// What the stand-in saw, and the faults it is told to inject. One record per
// process, reached with dlsym("FakeDmabufHeapGetState").
struct FakeDmabufHeapState {
  // calls
  int creates;
  int frees;
  int maps;
  char map_heap[32];
  char map_ion_heap[32];
  unsigned int map_ion_flags;
  unsigned int map_legacy_mask;
  unsigned int map_legacy_flags;
  int allocs;
  char alloc_heap[32];
  size_t alloc_len;
  unsigned int alloc_flags;
  size_t alloc_align;
  int sync_starts;
  int sync_ends;
  unsigned int last_sync_fd;
  int last_sync_type;
  int last_sync_had_callback;
  // faults
  int map_result;   // returned by MapDmabufHeapNameToIonHeap
  int fail_alloc;   // DmabufHeapAlloc returns -1
  int sync_result;  // returned by the sync calls
};

typedef FakeDmabufHeapState* (*FakeDmabufHeapStateFn)();
}

#endif  // TESTS_KILN_RUNTIME_MEMORY_FAKE_DMABUFHEAP_H_
