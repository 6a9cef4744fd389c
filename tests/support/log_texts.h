// The texts of the log messages that the tests look for, in one list of the
// tests' own: never the product's constants, so that a changed message fails
// a test. The unit tests and the fuzz targets include it; the black-box
// scripts read it (log_text in tests/blackbox/harness.sh), so each text
// stands on one line of the form below.
#ifndef QORID_TESTS_SUPPORT_LOG_TEXTS_H_
#define QORID_TESTS_SUPPORT_LOG_TEXTS_H_

namespace log_text {

inline constexpr char kCreating[] = "Creating QorIdentifier...";
inline constexpr char kAliasByDt[] = "Attempting to find alias by DT";
inline constexpr char kAliasByUname[] = "Attempting to find alias by uname";
inline constexpr char kSearchingAliases[] = "Searching known aliases...";
inline constexpr char kNotAnAlias[] = "The possible alias is not a real name or alias of any identity";
inline constexpr char kFullIdentity[] = "Full identity: ";
inline constexpr char kUnknown[] = "Identity is unknown: ";
inline constexpr char kLeftOutOfExport[] = "Left out of --export: ";
inline constexpr char kWanNotSearched[] = "Not searching for the WAN interface: the board's files are read under a root, and its interfaces cannot be listed from files";
inline constexpr char kFromUname[] = ", using the running kernel's value from uname";

}  // namespace log_text

#endif  // QORID_TESTS_SUPPORT_LOG_TEXTS_H_
