// The names of the system parameters that the library's parts hand to one
// another (the device-tree walk gives every property its own "QOR_" name).
#ifndef QORID_LIB_PARAMETER_NAMES_H_
#define QORID_LIB_PARAMETER_NAMES_H_

namespace qorid {

inline constexpr char kParameterPrefix[] = "QOR_";
inline constexpr char kBoardNumberParameter[] = "QOR_ID";
inline constexpr char kBoardNameParameter[] = "QOR_DESC";
// Named by the device tree's wan property, or found by the WAN search.
inline constexpr char kWanParameter[] = "QOR_WAN";
inline constexpr char kWanIdParameter[] = "QOR_WAN_ID";

}  // namespace qorid

#endif  // QORID_LIB_PARAMETER_NAMES_H_
