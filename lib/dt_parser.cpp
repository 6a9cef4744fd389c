#include "qorid/qorid.h"

#include "text_file.h"

#include <ftw.h>

#include <cstring>
#include <locale>
#include <string>

QorIdentifier* QorDTParser::mQOrId = nullptr;

int QorDTParser::parse(QorIdentifier* id, char* dir) {
  mQOrId = id;
  return ::nftw(dir, ftw_cb, 10, 0);
}

int QorDTParser::ftw_cb(const char* path, const struct stat* /*sb*/, int typeflag,
                        struct FTW* ftwbuf) {
  if (typeflag != FTW_F || mQOrId == nullptr) {
    return 0;
  }
  const char* base = path + ftwbuf->base;
  if (std::strcmp(base, "name") == 0) {
    return 0;  // every node has one; it is not a property of the board
  }
  std::string name = base;
  // Byte by byte under the global locale: in the "C" locale only a-z change.
  const auto& ctype = std::use_facet<std::ctype<char>>(std::locale());
  ctype.toupper(name.data(), name.data() + name.size());

  std::string value;
  qorid::TextFile file(path);
  if (file.isOpen()) {
    file.readLine(value);
  }
  mQOrId->addParameter("QOR_" + name, value);
  return 0;
}
