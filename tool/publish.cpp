#include "tool/publish.h"

#include "common/undo.h"
#include "lib/one_line.h"
#include "qorid/qorid.h"
#include "tool/json_output.h"
#include "tool/output.h"
#include "tool/publish_folder.h"
#include "tool/shell_export.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace qorid {
namespace {

// Makes `dir` and its missing parents (mode 0755 under umask 022); a folder
// that is there is left as it is. Empty, or why not.
std::string makeFolder(const std::string& dir) {
  struct stat st;
  if (::stat(dir.c_str(), &st) == 0) {
    return S_ISDIR(st.st_mode) ? std::string() : "it is not a folder";
  }
  for (std::string::size_type slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
    const std::string part = dir.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
      return std::strerror(errno);
    }
    if (slash == std::string::npos) {
      break;
    }
  }
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return "it is not a folder";
  }
  return {};
}

// Writes what `write` puts in a stream to temporary file `k`, in full and
// on disk.
template <typename Write>
std::string fill(const PublishedFolder& folder, int k, Write write) {
  DescriptorStream out(folder.fd(k));
  write(out);
  out.flush();
  if (out.error() != 0) {
    return "cannot write " + folder.pathOf(k) + ": " + std::strerror(out.error());
  }
  if (::fdatasync(folder.fd(k)) != 0 && errno != EINVAL) {
    return "cannot write " + folder.pathOf(k) + ": " + std::strerror(errno);
  }
  return {};
}

// The folder put back as it was, and one line saying why and what it holds.
int fail(const PublishedFolder& folder, const std::string& reason) {
  const std::string notUndone = undo::undoAll();
  undo::restoreHandlers();
  std::string line = "qorid-publish: " + reason + "; " + folder.whatIsLeft();
  if (!notUndone.empty()) {
    line += "; could not put back: " + notUndone;
  }
  (void)std::fprintf(stderr, "%s\n", oneLine(line).c_str());
  return 1;
}

// The publication once the folder is there: taken, both files written and
// put in place; a failure or a signal at any step undoes what was done.
int publishInto(QorIdentifier& identifier, PublishedFolder& folder) {
  undo::setLastWords("qorid-publish: interrupted; nothing new is published in " +
                     oneLine(folder.dir()));
  undo::installHandlers();
  std::string problem = folder.take();
  if (!problem.empty()) {
    return fail(folder, problem);
  }
  // From here a signal undoes what is armed, which leaves what was there.
  undo::setLastWords("qorid-publish: interrupted; " + oneLine(folder.whatIsLeft()));
  const HardwareIdentity identity = identifier.getIdentity();
  identifier.parse_params();
  problem = folder.create(0);
  if (problem.empty()) {
    problem = fill(folder, 0, [&identifier](std::ostream& out) {
      out << kEnvFileMark;
      writeExport(identifier, out);
    });
  }
  if (problem.empty()) {
    problem = folder.create(1);
  }
  if (problem.empty()) {
    problem = fill(folder, 1, [&](std::ostream& out) {
      writeIdentityJson(out, identity.number, identity.name, identity.aliases,
                        identifier.getParams(), kJsonFileMark + 1);
      out << '\n';
    });
  }
  if (problem.empty()) {
    problem = folder.place();
  }
  if (!problem.empty()) {
    return fail(folder, problem);
  }
  const undo::SignalsHeld held;  // complete: a signal now ends it as it is
  undo::forgetAll();
  undo::restoreHandlers();
  folder.removeEarlier();
  return 0;
}

}  // namespace

int publish(QorIdentifier& identifier, const std::string& dir) {
  (void)::umask(022);
  const std::string problem = makeFolder(dir);
  if (!problem.empty()) {
    (void)std::fprintf(stderr, "qorid-publish: %s; nothing is published in %s\n",
                       oneLine("cannot make " + dir + ": " + problem).c_str(),
                       oneLine(dir).c_str());
    return 1;
  }
  PublishedFolder folder(dir);
  return publishInto(identifier, folder);
}

}  // namespace qorid
