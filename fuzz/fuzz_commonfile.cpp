// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the common-file parser as the content of a file, with their size and
// no NUL behind them: a read past the input is the sanitizer's to report.
#include "vexparseplccommon_p.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Orrery::CvexParsePlcCommon config =
        Orrery::CvexParsePlcCommonText::parse(reinterpret_cast<const char*>(data), size);
    // Walk every record the engine would read, so that a broken copy shows up here too.
    std::size_t words = config.actual().dataIDSet().array().size();
    for (const auto& block : config.moldSet().moldList())
        words +=
            block.second.dataIDSet().array().size() + block.second.dataValueSet().array().size();
    for (const auto& trigger : config.triggers())
        for (const auto& phase :
             {trigger.startTrigger(), trigger.sendTrigger(), trigger.stopTrigger()})
            for (const auto& set : phase.triggerParams())
                for (const auto& condition : set.conditions())
                    words += condition.params().array().size();
    static_cast<void>(words);
    return 0;
}
