// Fuzzes the device-tree walker over a tree of directories, property files,
// FIFOs and symbolic links decoded from the input. Two identifiers walk the
// same tree and must get the same result and the same parameters in the
// same order. Every parameter comes from the tree: its name is "QOR_" and
// the name of an entry, upper-cased; its value is the start of a file's
// content, without a line feed. A node that does not exist gives -1 and no
// parameter.
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
#include "fuzz/fuzz_support.h"
#include "lib/system.h"
#include "nolt/nolt.h"
#include "qorid/qorid.h"
#include "tests/support/files.h"
#include "tests/support/recording_logger.h"

#include <strings.h>

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
        tree[relative] = Entry{Kind::kFile, content};
        break;
      }
      case 2:
        if (existing == tree.end()) {
          testing_fs::makeFifo(path);
          tree[relative] = Entry{Kind::kFifo, {}};
          linkable.push_back(relative);
        }
        break;
      case 3:
        if (existing == tree.end() && stack.size() < kMaxDepth) {
          testing_fs::makeDirs(path);
          tree[relative] = Entry{Kind::kDirectory, {}};
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
          tree[relative] = Entry{Kind::kLink, {}};
        }
        break;
      }
      case 6:
        if (existing == tree.end()) {
          std::filesystem::create_symlink(missingPath(), path);
          tree[relative] = Entry{Kind::kDangling, {}};
        }
        break;
    }
  }
  return tree;
}

struct Walk {
  int result = 0;
  std::vector<std::pair<std::string, std::string>> params;
  std::vector<testing_log::Entry> log;
};

Walk walk(const std::string& node) {
  static cNolt logger("qorid");
  testing_log::clear();
  QorIdentifier id(&logger);
  std::string dir = node;
  Walk w;
  w.result = QorDTParser::parse(&id, &dir[0]);
  FUZZ_CHECK(QorDTParser::mQOrId == &id);
  for (const qor_param& param : id.getParams()) {
    w.params.emplace_back(param.name, param.value);
  }
  w.log = testing_log::entries();
  testing_log::clear();
  return w;
}

bool namesAnEntry(const Tree& tree, const std::string& name) {
  return std::any_of(tree.begin(), tree.end(), [&name](const auto& entry) {
    const std::string base = baseName(entry.first);
    return base != "name" && base.size() == name.size() &&
           ::strcasecmp(base.c_str(), name.c_str()) == 0;
  });
}

// FIFOs read as empty, so the empty value is always one of them.
bool startsAFile(const Tree& tree, const std::string& value) {
  return value.empty() || std::any_of(tree.begin(), tree.end(), [&value](const auto& entry) {
           return entry.second.content.compare(0, value.size(), value) == 0;
         });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Nothing else lives under the root: the identifier finds no known
  // identities file.
  qorid::sys::setRootForTesting(testing_fs::scratchDir());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Reader in(data, size);
  const bool nodeMissing = (in.byte() & 1) != 0;
  const std::string node = nodeMissing ? missingPath() : testing_fs::scratchDir() + "/node";
  Tree tree;
  if (!nodeMissing) {
    tree = build(node, in);
  }

  const Walk first = walk(node);
  const Walk second = walk(node);
  FUZZ_CHECK(first.result == second.result);
  FUZZ_CHECK(first.params == second.params);
  FUZZ_CHECK(first.log == second.log);
  FUZZ_CHECK(first.result == (nodeMissing ? -1 : 0));
  FUZZ_CHECK(first.params.size() <= tree.size());
  for (const auto& [name, value] : first.params) {
    FUZZ_CHECK(name.compare(0, 4, "QOR_") == 0);
    FUZZ_CHECK(std::none_of(name.begin(), name.end(),
                            [](char c) { return c >= 'a' && c <= 'z'; }));
    FUZZ_CHECK(namesAnEntry(tree, name.substr(4)));
    FUZZ_CHECK(value.find('\n') == std::string::npos);
    FUZZ_CHECK(startsAFile(tree, value));
  }
  if (!nodeMissing) {
    testing_fs::removePath(node);
  }
  return 0;
}
