// textfile.cpp -- numbered text files (options, story captions, score log):
// lines and comma-separated items read, texts and numbers written with CR LF.
// The settings file is read whole, through the journal (journal.h), so a
// recording holds it as the game read it and a playback reads it from there;
// a playback writes no file at all. Writes no GameState fields.
#include "platform/textfile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/backend.h"
#include "platform/files.h"
#include "platform/journal.h"
#include "platform/screen.h"

namespace valmoren {

namespace {

constexpr int END_OF_FILE = -1;
constexpr size_t READ_CHUNK = 65536;
// The player's settings, which the game reads again and again, and a
// recording keeps as they were at each read.
constexpr const char* SETTINGS_FILE = "options.dat";

struct TextFile {
    std::FILE* file = nullptr;
    int mode = FILE_INPUT;
    bool write_error = false;
    Replacement replacement;  // FILE_REPLACE: the file the writes will replace
    // Read-ahead for input files; a file read whole has all of it here.
    std::vector<unsigned char> buffer;
    size_t pos = 0;
    bool whole = false;  // read whole into `buffer` (no file behind it)
};

TextFile files[MAX_FILE_NUMBER + 1];  // entry 0 unused

TextFile* reading(int number) {
    if (number < 1 || number > MAX_FILE_NUMBER) return nullptr;
    TextFile& f = files[number];
    return (f.file || f.whole) && f.mode == FILE_INPUT ? &f : nullptr;
}

TextFile* writing(int number) {
    if (number < 1 || number > MAX_FILE_NUMBER) return nullptr;
    TextFile& f = files[number];
    return f.file && f.mode != FILE_INPUT ? &f : nullptr;
}

int peek(TextFile& f) {
    if (f.pos == f.buffer.size()) {
        if (f.whole) return END_OF_FILE;
        f.buffer.resize(READ_CHUNK);
        const size_t got = std::fread(f.buffer.data(), 1, READ_CHUNK, f.file);
        f.buffer.resize(got);
        f.pos = 0;
        if (got == 0) return END_OF_FILE;
    }
    return f.buffer[f.pos];
}

int next(TextFile& f) {
    const int c = peek(f);
    if (c != END_OF_FILE) ++f.pos;
    return c;
}

bool is_line_end(int c) { return c == '\n' || c == '\r'; }
bool is_blank(int c) { return c == ' ' || c == '\t'; }

// Consumes one line end: LF, CR, or CR followed by LF.
void take_line_end(TextFile& f) {
    const int c = next(f);
    if (c == '\r' && peek(f) == '\n') next(f);
}

void skip_blanks(TextFile& f) {
    while (is_blank(peek(f))) next(f);
}

void close_one(TextFile& f) {
    const bool written = f.file && f.mode != FILE_INPUT;
    if (f.mode == FILE_REPLACE) {
        finish_replacement(f.file, f.replacement, !f.write_error);
    } else if (f.file) {
        std::fclose(f.file);
    }
    f = TextFile{};
    if (written) backend_file_written();
}

// The settings file as the game reads it: at most JOURNAL_FILE_LIMIT bytes,
// recorded or replayed by the journal. False when there is none.
bool read_settings(const std::string& path, std::vector<unsigned char>& into) {
    std::string bytes;
    bool found = false;
    if (!journal_replaying()) {
        if (std::FILE* f = open_game_file(path, "rb")) {
            found = true;
            char chunk[4096];
            size_t got = 0;
            while (bytes.size() < JOURNAL_FILE_LIMIT &&
                   (got = std::fread(chunk, 1, std::min(sizeof chunk, JOURNAL_FILE_LIMIT - bytes.size()), f)) > 0)
                bytes.append(chunk, got);
            std::fclose(f);
        }
    }
    journal_file(bytes, found);
    into.assign(bytes.begin(), bytes.end());
    return found;
}

void write_bytes(TextFile& f, const char* bytes, size_t n) {
    if (n > 0 && std::fwrite(bytes, 1, n, f.file) != n) f.write_error = true;
}

}  // namespace

int free_file_number() {
    for (int n = 1; n <= MAX_FILE_NUMBER; ++n) {
        if (!files[n].file && !files[n].whole) return n;
    }
    return MAX_FILE_NUMBER + 1;  // none free: every operation on it is ignored
}

int open_file(const std::string& path, int mode, int number) {
    if (number < 1 || number > MAX_FILE_NUMBER) return 1;
    close_one(files[number]);
    if (mode != FILE_INPUT && journal_replaying()) return 1;  // a playback leaves every file as it is
    if (mode == FILE_INPUT && path == SETTINGS_FILE) {
        TextFile& t = files[number];
        if (!read_settings(path, t.buffer)) return 1;
        t.whole = true;
        t.mode = FILE_INPUT;
        return 0;
    }
    std::FILE* f = nullptr;
    if (mode == FILE_REPLACE) {
        f = begin_replacement(path, files[number].replacement);
    } else {
        const char* how = mode == FILE_INPUT ? "rb" : mode == FILE_OUTPUT ? "wb" : mode == FILE_APPEND ? "ab" : nullptr;
        if (!how) return 1;
        f = open_game_file(path, how);
    }
    if (!f) return 1;
    files[number].file = f;
    files[number].mode = mode;
    return 0;
}

void read_line(int number, std::string& text) {
    text.clear();
    TextFile* f = reading(number);
    if (!f) return;
    for (;;) {
        const int c = peek(*f);
        if (c == END_OF_FILE) return;
        if (is_line_end(c)) {
            take_line_end(*f);
            return;
        }
        // Take the rest of the buffered run up to a line end in one go.
        size_t end = f->pos;
        while (end < f->buffer.size() && !is_line_end(f->buffer[end])) ++end;
        text.append(reinterpret_cast<const char*>(f->buffer.data() + f->pos), end - f->pos);
        f->pos = end;
    }
}

void read_item(int number, std::string& text) {
    text.clear();
    TextFile* f = reading(number);
    if (!f) return;
    skip_blanks(*f);
    auto keep = [&](int c) {
        if (text.size() < MAX_ITEM_LENGTH) text.push_back(static_cast<char>(c));
    };
    if (peek(*f) == '"') {
        // A quoted item runs to the next double quote, commas and blanks included.
        next(*f);
        for (int c = next(*f); c != END_OF_FILE && c != '"'; c = next(*f)) keep(c);
    } else {
        for (int c = peek(*f); c != END_OF_FILE && c != ',' && !is_line_end(c); c = peek(*f)) {
            keep(c);
            next(*f);
        }
    }
    skip_blanks(*f);
    const int c = peek(*f);
    if (c == ',') {
        next(*f);
    } else if (is_line_end(c)) {
        take_line_end(*f);
    }
}

void write_text(int number, const std::string& text, bool end_line) {
    TextFile* f = writing(number);
    if (!f) return;
    write_bytes(*f, text.data(), text.size());
    if (end_line) write_bytes(*f, "\r\n", 2);
}

void write_number(int number, long long value, bool end_line) {
    write_text(number, format_number(value), end_line);
}

void close_file(int number) {
    if (number == 0) {
        for (int n = 1; n <= MAX_FILE_NUMBER; ++n) close_one(files[n]);
    } else if (number >= 1 && number <= MAX_FILE_NUMBER) {
        close_one(files[number]);
    }
}

bool texts_equal(const std::string& a, const std::string& b) { return a == b; }

long long input_file_size(int number) {
    TextFile* f = reading(number);
    if (f && f->whole) return static_cast<long long>(f->buffer.size());
    struct stat info {};
    if (!f || fstat(fileno(f->file), &info) != 0) return -1;
    return static_cast<long long>(info.st_size);
}

bool file_ok(int number) {
    if (number < 1 || number > MAX_FILE_NUMBER) return false;
    TextFile& f = files[number];
    if (f.whole) return true;
    if (!f.file) return false;
    if (f.mode != FILE_INPUT && std::fflush(f.file) != 0) f.write_error = true;
    return !f.write_error && !std::ferror(f.file);
}

}  // namespace valmoren
