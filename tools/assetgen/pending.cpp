// pending.cpp -- generator parts that write nothing yet; removed as the
// pictures, sounds and story arrive.
#include "assetgen.h"

namespace valmoren::assetgen {

void write_pictures(const std::string&) {}
void write_sounds(const std::string&) {}
void write_story(const std::string&) {}
bool write_sheet(const std::string&, const std::string&) { return false; }

}  // namespace valmoren::assetgen
