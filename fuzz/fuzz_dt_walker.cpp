// Fuzzes the device-tree walker over a tree of directories, property files,
// FIFOs and symbolic links decoded from the input, and holds the parameters
// it publishes against the tree.
//
// Input: one byte of flags (bit 0: walk a node that does not exist), then
// operations, each starting with a byte whose value modulo 8 says:
//   0, 1, 7  property file: name, then a two-byte little-endian length and
//            that many content bytes (a file of that name in the same
//            directory is rewritten)
//   2        FIFO: name
//   3        subdirectory: name; later operations go into it
//   4        back to the parent directory
//   5        link to an earlier file or FIFO: name, then one byte choosing it
//   6        dangling link: name
// A name is a length byte and that many bytes, with '/' and NUL removed
// ("_" when nothing is left; "." and ".." get a "_" in front). At most 64
// entries and 12 levels; an operation on a name already taken by something
// of another kind is skipped.
#include "expectations.h"
#include "field_access.h"
#include "files.h"
#include "fuzz_support.h"
#include "nolt/nolt.h"
#include "qorid/qorid.h"
#include "recording_logger.h"
#include "system.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr size_t kMaxEntries = 64;
constexpr size_t kMaxDepth = 12;

enum class Kind { kFile, kFifo, kDirectory, kLink, kDangling };

struct Entry {
  Kind kind;
  std::string content;  // of a file
  std::string target;   // of a link: the relative path of a file or FIFO
};

// Relative path ("a/b/c") -> what is there.
using Tree = std::map<std::string, Entry>;

std::string readName(fuzz::Reader& in) {
  std::string name;
  for (char c : in.bytes(in.byte())) {
    if (c != '/' && c != '\0') {
      name += c;
    }
  }
  if (name.empty()) {
    return "_";
  }
  if (name == "." || name == "..") {
    return "_" + name;
  }
  return name;
}

std::string baseName(const std::string& relative) {
  const size_t slash = relative.rfind('/');
  return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

std::string missingPath() { return testing_fs::scratchDir() + "/missing"; }

Tree build(const std::string& node, fuzz::Reader& in) {
  Tree tree;
  std::vector<std::string> linkable;  // files and FIFOs, in order of creation
  std::vector<std::string> stack;     // the directory operations go into
  testing_fs::makeDirs(node);
  while (!in.empty() && tree.size() < kMaxEntries) {
    const int op = in.byte() % 8;
    if (op == 4) {
      if (!stack.empty()) {
        stack.pop_back();
      }
      continue;
    }
    const std::string name = readName(in);
    const std::string relative = stack.empty() ? name : stack.back() + "/" + name;
    const std::string path = node + "/" + relative;
    const auto existing = tree.find(relative);
    switch (op) {
      case 0:
      case 1:
      case 7: {
        const size_t length = in.byte() | static_cast<size_t>(in.byte()) << 8;
        const std::string content = in.bytes(length);
        if (existing != tree.end() && existing->second.kind != Kind::kFile) {
          break;
        }
        testing_fs::writeFile(path, content);
        if (existing == tree.end()) {
          linkable.push_back(relative);
        }
        tree[relative] = Entry{Kind::kFile, content, {}};
        break;
      }
      case 2:
        if (existing == tree.end()) {
          testing_fs::makeFifo(path);
          tree[relative] = Entry{Kind::kFifo, {}, {}};
          linkable.push_back(relative);
        }
        break;
      case 3:
        if (existing == tree.end() && stack.size() < kMaxDepth) {
          testing_fs::makeDirs(path);
          tree[relative] = Entry{Kind::kDirectory, {}, {}};
          stack.push_back(relative);
        } else if (existing != tree.end() && existing->second.kind == Kind::kDirectory) {
          stack.push_back(relative);
        }
        break;
      case 5: {
        const uint8_t choice = in.byte();
        if (existing == tree.end() && !linkable.empty()) {
          const std::string& target = linkable[choice % linkable.size()];
          std::filesystem::create_symlink(node + "/" + target, path);
          tree[relative] = Entry{Kind::kLink, {}, target};
        }
        break;
      }
      case 6:
        if (existing == tree.end()) {
          std::filesystem::create_symlink(missingPath(), path);
          tree[relative] = Entry{Kind::kDangling, {}, {}};
        }
        break;
    }
  }
  return tree;
}

// "NAME=value" for every parameter the tree should give: one per file,
// FIFO or link to either not called "name", from the first line of what it
// reaches (a FIFO without a writer reads as empty).
std::vector<std::string> expectedParams(const Tree& tree) {
  std::vector<std::string> params;
  for (const auto& [relative, entry] : tree) {
    const std::string base = baseName(relative);
    if (base == "name") {
      continue;
    }
    const Entry* reached = &entry;
    if (entry.kind == Kind::kLink) {
      reached = &tree.at(entry.target);
    }
    if (reached->kind != Kind::kFile && reached->kind != Kind::kFifo) {
      continue;
    }
    params.push_back("QOR_" + fuzz::upperAscii(base) + "=" + fuzz::firstLine(reached->content));
  }
  std::sort(params.begin(), params.end());
  return params;
}

void prepare() {
  static const bool done = [] {
    // Nothing else lives under the root: the identifier finds no known
    // identities file.
    qorid::sys::setRootForTesting(testing_fs::scratchDir());
    return true;
  }();
  (void)done;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  prepare();
  fuzz::Reader in(data, size);
  const bool nodeMissing = (in.byte() & 1) != 0;
  const std::string node = testing_fs::scratchDir() + "/node";
  Tree tree;
  if (!nodeMissing) {
    tree = build(node, in);
  }

  static cNolt logger("qorid");
  QorIdentifier id(&logger);
  std::string dir = nodeMissing ? missingPath() : node;
  const int result = QorDTParser::parse(&id, &dir[0]);
  testing_log::clear();  // memory stays bounded over a long run
  FUZZ_CHECK(QorDTParser::mQOrId == &id);

  std::vector<std::string> actual;
  for (const qor_param& param : QorIdentifierInspector::params(id)) {
    FUZZ_CHECK(param.name.compare(0, 4, "QOR_") == 0);
    FUZZ_CHECK(std::none_of(param.name.begin(), param.name.end(),
                            [](char c) { return c >= 'a' && c <= 'z'; }));
    actual.push_back(param.name + "=" + param.value);
  }
  if (nodeMissing) {
    FUZZ_CHECK(result == -1);
    FUZZ_CHECK(actual.empty());
    return 0;
  }
  FUZZ_CHECK(result == 0);
  std::sort(actual.begin(), actual.end());
  FUZZ_CHECK(actual == expectedParams(tree));
  testing_fs::removePath(node);
  return 0;
}
