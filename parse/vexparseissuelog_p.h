// SPDX-License-Identifier: MIT
//
//  W A R N I N G
//  -------------
// This file is not part of the library's API. It may change or disappear without notice.
//
#ifndef VEXPARSEISSUELOG_P_H
#define VEXPARSEISSUELOG_P_H

#include "vexparseissue.h"

#include <rapidjson/document.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace Orrery {

// Collects what the parse of one common file refused or skipped. While a log lives it is its
// thread's active log, and the records report into it through note() without knowing where in
// the file they are; outside a parse note() does nothing. A note keeps only the address of the
// value at fault: path and line are worked out once, in issues(), so a file without issues
// costs nothing extra. One log belongs to one thread and one parse.
class CvexParseIssueLog {
public:
    CvexParseIssueLog();
    ~CvexParseIssueLog();
    CvexParseIssueLog(const CvexParseIssueLog&) = delete;
    CvexParseIssueLog& operator=(const CvexParseIssueLog&) = delete;

    // Notes `text` against `value`, a node of the tree being parsed, in the thread's active log.
    static void note(const rapidjson::Value& value, std::string text);
    // Notes `text` against the file as a whole; `offset` (a byte offset into the text) gives the
    // line where one is known.
    void noteFile(std::string text, std::size_t offset = kNoOffset);

    // The notes in the order taken, each with the path of its value in `root` and its line in
    // `text`, the text `root` was read from.
    std::vector<CvexParseIssue> issues(const rapidjson::Value& root, std::string_view text) const;

    static constexpr std::size_t kNoOffset = static_cast<std::size_t>(-1);
    // A file can hold any number of faults; past this many only their count is reported.
    static constexpr std::size_t kMaxIssues = 1000;

private:
    struct Note {
        const rapidjson::Value* value;
        std::size_t offset;
        std::string text;
    };

    void add(Note note);

    std::vector<Note> _notes;
    std::size_t _notesDropped = 0;
    CvexParseIssueLog* _previous;
};

} // namespace Orrery

#endif // VEXPARSEISSUELOG_P_H
