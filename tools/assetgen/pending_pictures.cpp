// pending_pictures.cpp -- picture writing not there yet; removed when it arrives.
#include "assetgen.h"

namespace valmoren::assetgen {

void write_pictures(const std::string&) {}
bool write_sheet(const std::string&, const std::string&) { return false; }

}  // namespace valmoren::assetgen
