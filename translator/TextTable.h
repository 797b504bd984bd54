// A language table: the library's texts and what is shown in their place, as
// one UTF-8 file holds them. The format, one entry in two lines:
//
//   # a comment; blank lines are skipped
//   < 检查完毕, 没有找到可用更新.
//   > The check is complete: no update is available.
//
// Everything after "< " or "> " is the text itself ("=", "%s", "{Version}"
// and spaces included); "\n", "\r", "\t" and "\\" stand for a line feed, a
// carriage return, a tab and a backslash.
#pragma once

#include <map>
#include <string>
#include <string_view>

using TextTable = std::map<std::wstring, std::wstring>;

// The largest table file read at all: far above any real one.
inline constexpr size_t kMaxTableBytes = 256 * 1024;

// The longest text or translation: what the library's 1024-character buffer holds.
inline constexpr size_t kMaxTableText = 1023;

struct TableError {
    int nLine = 0;  // 0: the file as a whole
    std::wstring reason;
};

// The entries of a table file (a UTF-8 byte-order mark is allowed). A file
// with any fault is refused whole: false, with the first fault and its line.
bool ParseTextTable(std::string_view bytes, TextTable& table, TableError& error);
