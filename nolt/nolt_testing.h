// Seams for nolt's own tests. They live in nolt's objects (config_file.cpp,
// nolt.cpp) but are not exported from libnolt.so.0 (it shows cNolt only):
// the tests link those objects. Not thread-safe.
#ifndef NOLT_NOLT_TESTING_H_
#define NOLT_NOLT_TESTING_H_

// While `missing` holds, cNolt::init acts as in a root whose /proc is a
// plain folder: /proc/self/fd/N is taken to be unreadable.
void noltSetProcFdMissingForTesting(bool missing);

// `hook` (null for none) runs in cNolt::init once the configuration has
// been read and checked, right before log4cpp is configured.
void noltSetBeforeConfigureHookForTesting(void (*hook)());

#endif  // NOLT_NOLT_TESTING_H_
