// SPDX-License-Identifier: MIT
// `plchost check`: reads a common file through the library's parser, lists what the parser
// refused or skipped, summarises the records it built and judges them for what only a host can
// know (its own addresses, field widths on the wire, packet sizes, the item dictionary). Also the
// gate through which `run` and the one-shot commands load their configuration. Use from one
// thread.
#ifndef PLCHOST_COMMONFILECHECK_H
#define PLCHOST_COMMONFILECHECK_H

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace Orrery {
class CvexParsePlcCommon;
class CvexParseTriggerFeature;
} // namespace Orrery

namespace plchost {

class ItemDictionary;
struct HostPlan;

struct Problem {
    enum Severity { Error, Warning };
    Severity severity = Error;
    std::string where; // "trigger group 5", "protocol, \"Host\"", or empty for the file
    std::string what;
};

class CommonFileCheck {
public:
    explicit CommonFileCheck(std::string path);
    ~CommonFileCheck();
    CommonFileCheck(const CommonFileCheck&) = delete;
    CommonFileCheck& operator=(const CommonFileCheck&) = delete;

    // Reads and judges the file; returns usable().
    bool run();
    // Adds what the item dictionary lacks for this file: values for the mold set, storage value
    // types for triggered data, names for actual values. Returns usable().
    bool checkItems(const ItemDictionary& items);

    bool usable() const { return _usable; }
    const std::string& path() const { return _path; }
    const std::vector<Problem>& problems() const { return _problems; }
    int errorCount() const;
    int warningCount() const;
    // The library's reading of the file; null until run().
    const Orrery::CvexParsePlcCommon* config() const { return _config.get(); }

    // The readable summary of every section, then every problem, then the verdict.
    void printReport(std::ostream& out) const;
    // Only the problems, one "error: ..." or "warning: ..." line each.
    void printProblems(std::ostream& out, bool errorsOnly) const;

    // "1001-1020, 1031" for a list of IDs.
    static std::string describeIDs(const std::vector<unsigned int>& ids);

private:
    void error(const std::string& where, const std::string& what);
    void warning(const std::string& where, const std::string& what);
    void checkRecords();
    void checkProtocol();
    // What only the host can judge about the endpoints: a "Src" that is the "Host", or that
    // this machine does not have.
    void checkEndpoints(const HostPlan& plan);
    void checkLineStatus();
    void checkActual();
    void checkMoldSet();
    void checkTriggers();
    void checkConditionTypes(const std::string& where, const char* phase,
                             const Orrery::CvexParseTriggerFeature& feature);
    void checkDuplicates(const std::string& where, const std::vector<unsigned int>& ids);
    void checkItemTypes(const ItemDictionary& items, const std::string& where);
    void printSections(std::ostream& out) const;
    // What the library's parser noted while reading, each with its line and JSON pointer.
    void printLibraryIssues(std::ostream& out) const;

    std::string _path;
    bool _readable = false;
    bool _usable = false;
    std::vector<Problem> _problems;
    std::unique_ptr<Orrery::CvexParsePlcCommon> _config;
};

} // namespace plchost

#endif // PLCHOST_COMMONFILECHECK_H
