// qorid-dump: see dump.h.
#include "dump.h"

int main(int argc, char** argv) { return qorid::dump::run(argc, argv); }
