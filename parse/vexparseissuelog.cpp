// SPDX-License-Identifier: MIT
#include "vexparseissuelog_p.h"

#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <utility>

namespace Orrery {

namespace {

thread_local CvexParseIssueLog* activeLog = nullptr;

// A path segment of a JSON pointer: "~" and "/" in a key are escaped.
void appendSegment(std::string& path, const char* key, std::size_t length)
{
    path += '/';
    for (std::size_t i = 0; i < length; ++i) {
        if (key[i] == '~')
            path += "~0";
        else if (key[i] == '/')
            path += "~1";
        else
            path += key[i];
    }
}

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// Where a noted value sits: its place in document order and its JSON pointer.
struct Place {
    std::size_t order = kNotFound;
    std::string path;
};

// Walks the tree in document order without recursion (a file may nest a million levels deep)
// and finds the place of every wanted node.
std::unordered_map<const rapidjson::Value*, Place>
findPlaces(const rapidjson::Value& root, std::unordered_map<const rapidjson::Value*, Place> wanted)
{
    struct Frame {
        const rapidjson::Value* node;
        rapidjson::SizeType next;
        std::size_t pathLength;
    };
    std::string path;
    std::size_t order = 0;
    std::size_t left = wanted.size();
    const auto visit = [&](const rapidjson::Value* node) {
        const auto found = wanted.find(node);
        if (found != wanted.end()) {
            found->second = {order, path};
            --left;
        }
        ++order;
    };
    visit(&root);
    std::vector<Frame> stack{{&root, 0, 0}};
    while (!stack.empty() && left > 0) {
        Frame& frame = stack.back();
        const rapidjson::Value& node = *frame.node;
        const rapidjson::Value* child = nullptr;
        path.resize(frame.pathLength);
        if (node.IsArray() && frame.next < node.Size()) {
            child = &node[frame.next];
            path += '/' + std::to_string(frame.next);
        } else if (node.IsObject() && frame.next < node.MemberCount()) {
            const auto member = node.MemberBegin() + frame.next;
            child = &member->value;
            appendSegment(path, member->name.GetString(), member->name.GetStringLength());
        } else {
            stack.pop_back();
            continue;
        }
        ++frame.next;
        visit(child);
        if (child->IsArray() || child->IsObject())
            stack.push_back({child, 0, path.size()});
    }
    return wanted;
}

// Reads the text again and notes, for the values at the wanted places in document order, an
// offset on their first line: the opening bracket of an array or object (the iterative reader
// reports it before taking the bracket), the last character of any other value (reported after
// it). No JSON token spans lines. The reader works on a memory stream in place (only string
// streams are copied), so the handler can ask where the reader stands.
class OffsetFinder : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, OffsetFinder> {
public:
    OffsetFinder(const rapidjson::MemoryStream& stream,
                 std::vector<std::pair<std::size_t, std::size_t*>> wanted)
        : _stream(stream), _wanted(std::move(wanted))
    {
        std::sort(_wanted.begin(), _wanted.end());
    }

    bool Default() { return value(_stream.Tell() - 1); }
    bool StartObject() { return value(_stream.Tell()); }
    bool StartArray() { return value(_stream.Tell()); }
    bool Key(const char*, rapidjson::SizeType, bool) { return true; }
    bool EndObject(rapidjson::SizeType) { return true; }
    bool EndArray(rapidjson::SizeType) { return true; }

private:
    // False once every wanted offset is found, which ends the reading early.
    bool value(std::size_t offset)
    {
        while (_next < _wanted.size() && _wanted[_next].first == _order)
            *_wanted[_next++].second = offset;
        ++_order;
        return _next < _wanted.size();
    }

    const rapidjson::MemoryStream& _stream;
    std::vector<std::pair<std::size_t, std::size_t*>> _wanted;
    std::size_t _next = 0;
    std::size_t _order = 0;
};

void findOffsets(std::string_view text, std::vector<std::pair<std::size_t, std::size_t*>> wanted)
{
    rapidjson::MemoryStream stream(text.data(), text.size());
    OffsetFinder finder(stream, std::move(wanted));
    rapidjson::Reader reader;
    reader.Parse<rapidjson::kParseIterativeFlag>(stream, finder);
}

// The 1-based lines of ascending offsets, counted in one pass over the text.
void fillLines(std::string_view text, const std::vector<std::size_t>& offsets,
               std::vector<int>& lines)
{
    std::vector<std::size_t> byOffset(offsets.size());
    std::iota(byOffset.begin(), byOffset.end(), 0);
    std::sort(byOffset.begin(), byOffset.end(),
              [&offsets](std::size_t a, std::size_t b) { return offsets[a] < offsets[b]; });
    int line = 1;
    std::size_t position = 0;
    for (const std::size_t index : byOffset) {
        if (offsets[index] == CvexParseIssueLog::kNoOffset)
            break;
        for (; position < offsets[index] && position < text.size(); ++position) {
            if (text[position] == '\n')
                ++line;
        }
        lines[index] = line;
    }
}

} // namespace

CvexParseIssueLog::CvexParseIssueLog() : _previous(activeLog)
{
    activeLog = this;
}

CvexParseIssueLog::~CvexParseIssueLog()
{
    activeLog = _previous;
}

void CvexParseIssueLog::note(const rapidjson::Value& value, std::string text)
{
    if (activeLog != nullptr)
        activeLog->add({&value, kNoOffset, std::move(text)});
}

void CvexParseIssueLog::noteFile(std::string text, std::size_t offset)
{
    add({nullptr, offset, std::move(text)});
}

void CvexParseIssueLog::add(Note note)
{
    if (_notes.size() < kMaxIssues)
        _notes.push_back(std::move(note));
    else
        ++_notesDropped;
}

std::vector<CvexParseIssue> CvexParseIssueLog::issues(const rapidjson::Value& root,
                                                      std::string_view text) const
{
    std::unordered_map<const rapidjson::Value*, Place> wanted;
    for (const Note& note : _notes) {
        if (note.value != nullptr)
            wanted.emplace(note.value, Place{});
    }
    if (!wanted.empty())
        wanted = findPlaces(root, std::move(wanted));

    std::vector<std::size_t> offsets(_notes.size(), kNoOffset);
    std::vector<std::pair<std::size_t, std::size_t*>> offsetsWanted;
    for (std::size_t i = 0; i < _notes.size(); ++i) {
        if (_notes[i].value == nullptr)
            offsets[i] = _notes[i].offset;
        else if (wanted[_notes[i].value].order != kNotFound)
            offsetsWanted.emplace_back(wanted[_notes[i].value].order, &offsets[i]);
    }
    if (!offsetsWanted.empty())
        findOffsets(text, std::move(offsetsWanted));
    std::vector<int> lines(_notes.size(), 0);
    fillLines(text, offsets, lines);

    std::vector<CvexParseIssue> issues;
    for (std::size_t i = 0; i < _notes.size(); ++i) {
        const std::string path = _notes[i].value != nullptr ? wanted[_notes[i].value].path : "";
        issues.push_back({path, lines[i], _notes[i].text});
    }
    if (_notesDropped > 0)
        issues.push_back({"", 0, std::to_string(_notesDropped) + " further issues not listed"});
    return issues;
}

} // namespace Orrery
