// SPDX-License-Identifier: MIT
#ifndef VEXPARSEISSUE_H
#define VEXPARSEISSUE_H

#include <string>

namespace Orrery {

// One thing the common file parser refused or skipped, as CvexParsePlcCommon::issues() lists it.
// A plain value: copy it freely, read it from any thread.
class CvexParseIssue {
public:
    // JSON pointer of the value at fault, e.g. "/3/Type/MoldList/0/DataIDList/3" (the file is an
    // array of sections); "" for the file as a whole.
    std::string path;
    // 1-based line of that value in the file; 0 where it is not known.
    int line = 0;
    // Why the value was refused or skipped, and what that did to its record.
    std::string text;

    bool operator==(const CvexParseIssue& other) const
    {
        return path == other.path && line == other.line && text == other.text;
    }
    bool operator!=(const CvexParseIssue& other) const { return !(*this == other); }
};

} // namespace Orrery

#endif // VEXPARSEISSUE_H
