// The board's identity and system parameters as one JSON document, for
// programs that read what qorid found (qorid --json).
#ifndef QORID_TOOL_JSON_OUTPUT_H_
#define QORID_TOOL_JSON_OUTPUT_H_

#include "qorid/qorid.h"

#include <ostream>
#include <string>
#include <vector>

namespace qorid {

// The document, on one line without a newline (RFC 8259):
//   {"number":N,"name":"...","aliases":[...],"parameters":[{"name":"...","value":"..."},...]}
// Texts are raw bytes. Valid UTF-8 is written as it is, control bytes
// (NUL included) escaped. A text that is not valid UTF-8 is written with
// U+FFFD for each bad sequence, and its exact bytes follow in base64 in a
// member beside it: "name_base64" for the name, "aliases_base64" (the whole
// list) for the aliases, and "name_base64" or "value_base64" inside a
// parameter.
// It is written to `out` text by text, so that memory holds one escaped
// text at a time, never the whole document. `leading`, when not empty, is
// written right after the opening brace: members of the caller's own, each
// with its comma ("\"publisher\":\"qorid-publish\",").
void writeIdentityJson(std::ostream& out, int number, const std::string& name,
                       const std::vector<std::string>& aliases,
                       const std::vector<qor_param>& params, const std::string& leading = "");

// `bytes` in base64 (RFC 4648, the standard alphabet, with padding).
std::string base64(const std::string& bytes);

}  // namespace qorid

#endif  // QORID_TOOL_JSON_OUTPUT_H_
