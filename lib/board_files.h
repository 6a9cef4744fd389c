// What of the library qorid-dump may use to copy what qorid reads: the
// paths and uname of system.h, the device-tree walk's rules, the bounded
// reader's limit and the WAN parameter's name, each declared where its
// module declares it and named here in namespace qorid::board. The dump
// includes this header and none of those modules': what it takes of the
// library is this list, and a new use is a line added to it.
#ifndef QORID_LIB_BOARD_FILES_H_
#define QORID_LIB_BOARD_FILES_H_

#include "common/text_file.h"
#include "lib/dt_walk.h"
#include "lib/parameter_names.h"
#include "lib/system.h"
#include "lib/wan.h"

namespace qorid::board {

// Where qorid reads the board (system.h), and its uname.
using sys::compatiblePath;
using sys::cpuinfoPath;
using sys::deviceTreeNodePath;
using sys::interfaceAddressPath;
using sys::kernelReleasePath;
using sys::knownIdsPath;
using sys::machinePath;
using sys::modelPath;
using sys::procSelfPath;
using sys::unameInfo;

// How qorid walks the node (dt_walk.h): what an entry is, each directory
// entered once, which files are properties (isProperty with FTW_F, which
// <ftw.h> defines, for a file of the walk) and what they are called, and a
// property's value.
using qorid::EnteredDirectories;
using qorid::isProperty;
using qorid::propertyParameterName;
using qorid::propertyValue;
using qorid::walkEntry;
using qorid::WalkEntry;

// The most qorid reads of one file (text_file.h).
using qorid::kReadLimit;

// The property that names the WAN interface, by its parameter's name
// (parameter_names.h), the interface a value names and what can be an
// interface's name (wan.h).
using qorid::interfaceName;
using qorid::isInterfaceName;
using qorid::kWanParameter;

}  // namespace qorid::board

#endif  // QORID_LIB_BOARD_FILES_H_
