// SPDX-License-Identifier: MIT
// `plchost check`: reads a common file, explains every section and every problem, and lets the
// library's own configuration records decide whether the file is usable. Also the gate through
// which `run` and the one-shot commands load their configuration. Use from one thread.
#ifndef PLCHOST_COMMONFILECHECK_H
#define PLCHOST_COMMONFILECHECK_H

#include "commonfilewalk.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace Orrery {
class CvexParsePlcCommon;
}

namespace plchost {

class ItemDictionary;
struct HostPlan;

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
    // What the walk found; meaningful when the file was valid JSON.
    const CommonFileWalk& walk() const { return _walk; }
    // The library's reading of the file; null until run().
    const Orrery::CvexParsePlcCommon* config() const { return _config.get(); }

    // The readable summary of every section, then every problem, then the verdict.
    void printReport(std::ostream& out) const;
    // Only the problems, one "error: ..." or "warning: ..." line each.
    void printProblems(std::ostream& out, bool errorsOnly) const;

private:
    void askLibrary();
    // What only the host can judge about the endpoints: a "Src" that is the "Host", or that
    // this machine does not have.
    void checkEndpoints(const HostPlan& plan);
    void printSections(std::ostream& out) const;
    // What the library's parser noted while reading, each with its line and JSON pointer.
    void printLibraryIssues(std::ostream& out) const;

    std::string _path;
    bool _readable = false;
    bool _usable = false;
    CommonFileWalk _walk;
    std::vector<Problem> _problems;
    std::unique_ptr<Orrery::CvexParsePlcCommon> _config;
};

} // namespace plchost

#endif // PLCHOST_COMMONFILECHECK_H
