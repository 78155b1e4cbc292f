// SPDX-License-Identifier: MIT
// plchost: the host side of a PLC link on the command line.
#include "commandline.h"
#include "commonfilecheck.h"
#include "itemdictionary.h"
#include "librarylines.h"
#include "oneshotcommand.h"
#include "runcommand.h"

#include <algorithm>
#include <iostream>

namespace {

int check(const plchost::Options& options)
{
    // The report says all the library's parser would; its own lines would only repeat it.
    plchost::LibraryLines quiet;
    plchost::CommonFileCheck check(options.commonFile);
    check.run();
    if (!options.itemsFile.empty()) {
        plchost::ItemDictionary items;
        if (!items.load(options.itemsFile)) {
            for (const std::string& error : items.errors())
                std::cerr << "plchost: " << error << "\n";
            return 2;
        }
        check.checkItems(items);
    }
    std::cout.flush();
    check.printReport(std::cout);
    std::cout.flush();
    if (!check.usable()) {
        // The report above lists every problem; the failure names the first one.
        const auto first = std::find_if(check.problems().begin(), check.problems().end(),
                                        [](const plchost::Problem& problem) {
                                            return problem.severity == plchost::Problem::Error;
                                        });
        const int more = check.errorCount() - 1;
        std::cerr << "plchost: " << options.commonFile << " is not usable";
        if (first != check.problems().end())
            std::cerr << ": " << (first->where.empty() ? "" : first->where + ": ") << first->what;
        if (more > 0)
            std::cerr << " (and " << more << " more error" << (more > 1 ? "s" : "")
                      << ", see the report)";
        std::cerr << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    plchost::Options options;
    try {
        options = plchost::CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const plchost::UsageError& error) {
        std::cerr << "plchost: " << error.what() << " (see plchost --help)\n";
        return 2;
    }
    if (options.command == "version") {
        std::cout << "plchost " << VEXPLC_VERSION << "\n";
        return 0;
    }
    if (options.command == "help") {
        std::cout << plchost::CommandLine::usage(options.helpFor);
        return 0;
    }
    if (options.command == "check")
        return check(options);
    if (options.command == "run")
        return plchost::RunCommand(options).execute();
    return plchost::OneShotCommand(options).execute();
}
