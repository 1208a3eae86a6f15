// textfile.h -- numbered text files: options, story captions and score log.
// Lines are written with CR LF; read lines end at LF, CR or CR LF.
#pragma once

#include <string>

namespace valmoren {

enum FileMode : int {
    FILE_INPUT = 0,
    FILE_OUTPUT = 1,
    FILE_APPEND = 2,
    // Like FILE_OUTPUT, but all or nothing: the file is replaced when it is
    // closed, and only when every write succeeded (files.h, begin_replacement).
    FILE_REPLACE = 3,
};

constexpr int MAX_FILE_NUMBER = 254;
constexpr size_t MAX_ITEM_LENGTH = 4096;

int free_file_number();
int open_file(const std::string& path, int mode, int number);  // 0 on success
void read_line(int number, std::string& text);
void read_item(int number, std::string& text);
void write_text(int number, const std::string& text, bool end_line);
void write_number(int number, long long value, bool end_line);
void close_file(int number);  // 0 closes every open file
bool texts_equal(const std::string& a, const std::string& b);
// Size in bytes of a file open for input; -1 when the number has none.
long long input_file_size(int number);
// True when the file is open and everything written to it so far has reached
// the disk without error (flushes it).
bool file_ok(int number);

}  // namespace valmoren
