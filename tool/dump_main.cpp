// qorid-dump: see dump.h.
#include "tool/dump.h"

int main(int argc, char** argv) { return qorid::dump::run(argc, argv); }
