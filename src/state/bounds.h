// bounds.h -- safe reach into the entity arrays for the level routines: a loop
// over "records 0..last" never runs past the records the array really holds.
#pragma once

#include <vector>

namespace valmoren {

// The highest index a loop over records 0..wanted may visit: wanted itself,
// or the array's last record when the array is shorter.
template <typename T>
int last_index(const std::vector<T>& array, int wanted) {
    const int top = static_cast<int>(array.size()) - 1;
    return wanted < top ? wanted : top;
}

// The record at index i, or nullptr when the array has no such record.
template <typename T>
T* record_at(std::vector<T>& array, int i) {
    if (i < 0 || static_cast<size_t>(i) >= array.size()) return nullptr;
    return &array[static_cast<size_t>(i)];
}

}  // namespace valmoren
