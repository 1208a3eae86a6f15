// pending_sounds.cpp -- sound and story writing not there yet; removed when they arrive.
#include "assetgen.h"

namespace valmoren::assetgen {

void write_sounds(const std::string&) {}
void write_story(const std::string&) {}

}  // namespace valmoren::assetgen
